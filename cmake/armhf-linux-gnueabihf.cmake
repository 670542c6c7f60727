# Cross-compiles for the board: 32-bit ARM, hard float, Debian's arm-linux-gnueabihf tool chain and
# the armhf -dev packages installed side by side with the host's (multiarch). Programs built here run
# on the host under qemu-user, which ctest uses as the emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(VELKORD_BOARD_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${VELKORD_BOARD_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VELKORD_BOARD_TRIPLET}-g++)
set(CMAKE_STRIP ${VELKORD_BOARD_TRIPLET}-strip)

# 64-bit file offsets and directory positions: without them readdir() fails with EOVERFLOW when a
# file system hands out 64-bit positions (qemu-user on a 64-bit host always does; large media too).
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")

# Headers and libraries of the board come from the multiarch directories; programs (python3, the
# peers) from the host.
set(CMAKE_LIBRARY_ARCHITECTURE ${VELKORD_BOARD_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH / /usr/${VELKORD_BOARD_TRIPLET})
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${VELKORD_BOARD_TRIPLET}/pkgconfig:/usr/share/pkgconfig)

# qemu-user runs the test programs with the multiarch dynamic loader and C library (libc6:armhf, /lib
# and /lib/arm-linux-gnueabihf), the same build as every other armhf library. The cross tool chain's
# copy (/usr/arm-linux-gnueabihf/lib) is not that build: its loader with the multiarch libc.so.6 crashes
# every child of fork() (a segmentation fault before the child runs a line of its own).
find_program(VELKORD_QEMU_ARM qemu-arm)
if(VELKORD_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKORD_QEMU_ARM} -L /)
endif()
