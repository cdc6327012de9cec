# Shared part of the toolchain files for Debian's Linux cross compilers
# (aarch64-linux-gnu.cmake, arm-linux-gnueabihf.cmake, s390x-linux-gnu.cmake):
# each sets CMAKE_SYSTEM_PROCESSOR, CORVANE_CROSS_TRIPLET (the compilers'
# prefix and the directory of the target's libraries under /usr),
# CORVANE_DEBIAN_ARCH (the Debian architecture, for the .deb that
# cmake/packaging.cmake makes) and CORVANE_QEMU (the qemu-user program for
# the target), then includes this.
#
# Test programs run under qemu-user (Debian package qemu-user; no binfmt
# set-up needed), so ctest and gtest_discover_tests work as in a native
# build. -L points qemu at the target's dynamic loader and libraries.
set(CMAKE_SYSTEM_NAME Linux)

# C is for GoogleTest's own project, which enables it.
set(CMAKE_C_COMPILER ${CORVANE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${CORVANE_CROSS_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(CORVANE_QEMU_PROGRAM NAMES ${CORVANE_QEMU})
if(CORVANE_QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANE_QEMU_PROGRAM} -L /usr/${CORVANE_CROSS_TRIPLET})
endif()
