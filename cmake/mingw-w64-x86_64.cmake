# Cross-compiles the Windows build (corvane.exe) with MinGW-w64 on Linux:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Test programs run under Wine, so ctest and gtest_discover_tests work as in
# a native build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVANE_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model: with the win32 one, GCC's library has no
# std::mutex, which GoogleTest needs. The project links the run-time
# statically (see CMakeLists.txt), so this adds no DLL. C is for GoogleTest's
# own project, which enables it.
set(CMAKE_C_COMPILER ${CORVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian installs the 64-bit loader outside PATH.
find_program(CORVANE_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(CORVANE_WINE64 NAMES wine64 wine)
if(CORVANE_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANE_WINE64})
endif()
