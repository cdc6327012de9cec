# Cross-compiles the 32-bit Windows build (corvane.exe for x86) with
# MinGW-w64 on Linux (Debian package g++-mingw-w64-i686):
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# Test programs run under Wine's 32-bit loader (Debian package wine32:i386),
# which runs in a 64-bit Wine prefix as well.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CORVANE_MINGW_PREFIX i686-w64-mingw32)
set(CORVANE_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
