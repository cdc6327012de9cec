# Cross-compiles Corvane for IBM Z Linux (Debian s390x), a big-endian
# target, with Debian's g++-s390x-linux-gnu; tests run under qemu-s390x
# (package qemu-user):
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CORVANE_CROSS_TRIPLET s390x-linux-gnu)
set(CORVANE_DEBIAN_ARCH s390x)
set(CORVANE_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
