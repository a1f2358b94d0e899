# Builds for arm64 on another Debian machine with its cross toolchain
# (crossbuild-essential-arm64) and, for the window, its multiarch arm64 Qt
# (qt6-base-dev:arm64; the Qt host tools come from the machine's own Qt).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")

# Libraries and headers from the arm64 side only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr/lib/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Qt's host tools (moc) are the build machine's own Qt's.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake CACHE PATH "")

# Programs the build runs (the icon writer) run under QEMU's user emulation
# when it is installed (qemu-user), with one glibc's loader and libraries:
# Debian's arm64 ones (libc6:arm64) where they are installed, else the cross
# toolchain's. Never -L /usr/aarch64-linux-gnu beside libc6:arm64: the loader
# would be the cross toolchain's and libc.so.6 the one its search finds in
# /lib/aarch64-linux-gnu, two builds of glibc that do not fit, and a program
# spins in pthread_create.
find_program(ZANDREL_QEMU_AARCH64 qemu-aarch64)
if(ZANDREL_QEMU_AARCH64 AND EXISTS /lib/ld-linux-aarch64.so.1)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZANDREL_QEMU_AARCH64} -L /)
elseif(ZANDREL_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZANDREL_QEMU_AARCH64} -L /usr/aarch64-linux-gnu)
endif()
