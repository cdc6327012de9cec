# Cross-compiles Corvane for 64-bit ARM Linux (Debian arm64) with Debian's
# g++-aarch64-linux-gnu; tests run under qemu-aarch64 (package qemu-user):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CORVANE_CROSS_TRIPLET aarch64-linux-gnu)
set(CORVANE_DEBIAN_ARCH arm64)
set(CORVANE_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
