# Cross-compiles Corvane for 32-bit ARM Linux with hardware floating point
# (Debian armhf) with Debian's g++-arm-linux-gnueabihf; tests run under
# qemu-arm (package qemu-user):
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
# A 32-bit target: CMakeLists.txt builds every target with 64-bit file
# offsets and time (_FILE_OFFSET_BITS=64, _TIME_BITS=64).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CORVANE_CROSS_TRIPLET arm-linux-gnueabihf)
set(CORVANE_DEBIAN_ARCH armhf)
set(CORVANE_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
