# The same sources for 64-bit Windows. The Windows tests run this build under Wine, because the
# machines we test on cannot execute 32-bit code (see README, "Testing under Wine").
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTRIN_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
