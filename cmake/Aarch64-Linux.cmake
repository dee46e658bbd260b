# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles for 64-bit ARM Linux (Raspberry Pi OS 64-bit, Debian on ARM boards) with Debian's
# cross toolchain and the arm64 -dev packages of the same release, installed as a foreign
# architecture (multiarch); the tests run under qemu's user mode, which the tests' runner and
# CTest call themselves, since binfmt is not mounted on every machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64)
