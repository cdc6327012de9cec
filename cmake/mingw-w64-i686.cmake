# Cross-compiles the 32-bit Windows build (corvane.exe for x86) with
# MinGW-w64 on Linux (Debian package g++-mingw-w64-i686):
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# Test programs run under Wine's 32-bit loader (Debian package wine32:i386),
# so ctest and gtest_discover_tests work as in a native build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CORVANE_MINGW_PREFIX i686-w64-mingw32)
# The POSIX thread model, as in mingw-w64-x86_64.cmake: GoogleTest needs
# std::mutex, and the run-time is linked statically.
set(CMAKE_C_COMPILER ${CORVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian installs the 32-bit loader outside PATH; /usr/bin/wine starts it
# too when it is there. Either runs in a 64-bit Wine prefix as well.
find_program(CORVANE_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(CORVANE_WINE32 NAMES wine)
if(CORVANE_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANE_WINE32})
endif()
