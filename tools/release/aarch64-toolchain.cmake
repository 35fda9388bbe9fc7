# Cross-building for 64-bit ARM (Debian's arm64) on Debian for amd64: Debian's
# aarch64 cross compiler, with Debian's own arm64 libraries installed beside
# the machine's (multiarch, in /usr/lib/aarch64-linux-gnu). Qt's build tools
# (moc, rcc) are the machine's own, from its Qt 6 of the same version.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
