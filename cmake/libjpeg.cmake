# libjpeg for the details window's screenshots.
#
# Natively, find_package(JPEG) finds Debian's development package (libjpeg-dev).
# When cross-compiling for Windows, Debian's libjpeg-turbo source package is fetched with
# `apt-get source` (the setup script enables the source entries) and built once, at configure
# time, as a static library with the same MinGW toolchain into <build>/deps/libjpeg. Later
# configures find the finished library there and do nothing else. Nothing of it is committed.

if(CMAKE_CROSSCOMPILING)
  set(_kj_root ${CMAKE_BINARY_DIR}/deps/libjpeg)
  set(_kj_prefix ${_kj_root}/install)
  set(_kj_stamp ${_kj_prefix}/.kestrin-built)

  if(NOT EXISTS ${_kj_stamp})
    message(STATUS "libjpeg: building Debian's libjpeg-turbo for ${CMAKE_SYSTEM_PROCESSOR} into ${_kj_prefix}")
    set(_kj_fetch ${_kj_root}/src)
    file(MAKE_DIRECTORY ${_kj_fetch})

    # The unpacked source tree, named libjpeg-turbo-<version>; fetched only when absent.
    file(GLOB _kj_source LIST_DIRECTORIES true ${_kj_fetch}/libjpeg-turbo-*)
    list(FILTER _kj_source EXCLUDE REGEX "\\.(dsc|tar\\..*|orig.*)$")
    if(NOT _kj_source)
      execute_process(
        COMMAND apt-get source -qq --download-only libjpeg-turbo
        WORKING_DIRECTORY ${_kj_fetch}
        RESULT_VARIABLE _kj_result)
      file(GLOB _kj_dsc ${_kj_fetch}/libjpeg-turbo_*.dsc)
      if(NOT _kj_result EQUAL 0 OR NOT _kj_dsc)
        message(FATAL_ERROR "libjpeg: `apt-get source libjpeg-turbo` failed; run scripts/setup (source entries) as root")
      endif()
      list(GET _kj_dsc 0 _kj_dsc)
      execute_process(
        COMMAND dpkg-source --no-check -x ${_kj_dsc}
        WORKING_DIRECTORY ${_kj_fetch}
        OUTPUT_QUIET
        RESULT_VARIABLE _kj_result)
      file(GLOB _kj_source LIST_DIRECTORIES true ${_kj_fetch}/libjpeg-turbo-*)
      list(FILTER _kj_source EXCLUDE REGEX "\\.(dsc|tar\\..*|orig.*)$")
      if(NOT _kj_result EQUAL 0 OR NOT _kj_source)
        message(FATAL_ERROR "libjpeg: could not unpack ${_kj_dsc}")
      endif()
    endif()
    list(GET _kj_source 0 _kj_source)

    # Only the static library is built (no tools, no TurboJPEG API, no SIMD): lean on shared cores.
    set(_kj_build ${_kj_root}/build)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -S ${_kj_source} -B ${_kj_build} -G ${CMAKE_GENERATOR}
              -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
              -DCMAKE_BUILD_TYPE=Release -Wno-dev
              -DENABLE_SHARED=OFF -DENABLE_STATIC=ON
              -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF
              -DCMAKE_INSTALL_PREFIX=${_kj_prefix}
      OUTPUT_QUIET
      RESULT_VARIABLE _kj_result)
    if(NOT _kj_result EQUAL 0)
      message(FATAL_ERROR "libjpeg: configuring ${_kj_source} failed")
    endif()
    execute_process(
      COMMAND ${CMAKE_COMMAND} --build ${_kj_build} --target jpeg-static -j2
      OUTPUT_QUIET
      RESULT_VARIABLE _kj_result)
    if(NOT _kj_result EQUAL 0)
      message(FATAL_ERROR "libjpeg: building ${_kj_source} failed")
    endif()

    # What a program needs: the library and the four public headers.
    file(MAKE_DIRECTORY ${_kj_prefix}/lib ${_kj_prefix}/include)
    file(COPY ${_kj_build}/libjpeg.a DESTINATION ${_kj_prefix}/lib)
    file(COPY ${_kj_build}/jconfig.h
              ${_kj_source}/jpeglib.h ${_kj_source}/jmorecfg.h ${_kj_source}/jerror.h
         DESTINATION ${_kj_prefix}/include)
    file(TOUCH ${_kj_stamp})
  endif()

  # The toolchain searches libraries and headers only below CMAKE_FIND_ROOT_PATH.
  list(APPEND CMAKE_FIND_ROOT_PATH ${_kj_prefix})
endif()

find_package(JPEG REQUIRED)
