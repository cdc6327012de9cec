# Shared part of the toolchain files for the Windows builds with MinGW-w64
# on Linux (mingw-w64-x86_64.cmake, mingw-w64-i686.cmake): each sets
# CMAKE_SYSTEM_PROCESSOR, CORVANE_MINGW_PREFIX (the compilers' prefix) and
# CORVANE_WINE_LOADER (the Wine program that runs its executables, outside
# PATH on Debian), then includes this. Test programs run under Wine, so
# ctest and gtest_discover_tests work as in a native build.
set(CMAKE_SYSTEM_NAME Windows)

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

find_program(CORVANE_WINE_PROGRAM NAMES ${CORVANE_WINE_LOADER} PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(CORVANE_WINE_PROGRAM NAMES ${CORVANE_WINE_LOADER} wine)
if(CORVANE_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANE_WINE_PROGRAM})
endif()
