# MinGW-w64 cross build for 32-bit Windows (posix thread model, so std::thread and std::mutex work).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTRIN_MINGW_PREFIX i686-w64-mingw32)

set(CMAKE_C_COMPILER ${KESTRIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine through our wrapper (virtual X display, prepared prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
