# Cross-build for 32-bit Windows with Debian's MinGW-w64 GCC. Running the result needs
# Debian's wine32 (i386), which CI leaves out: this build is compiled and link-checked only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ORVEN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
