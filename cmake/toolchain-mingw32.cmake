# Cross-build for 32-bit Windows with Debian's MinGW-w64 GCC; tests run under Debian's wine32
# (i386 multiarch, the 32-bit loader /usr/lib/wine/wine) through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ORVEN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# The same wrapper and a prefix of the build folder's own, as for the 64-bit tests. Without
# wine32 the programs are only built and link-checked (the preset's tests then fail to start).
find_program(ORVEN_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(ORVEN_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" "WINELOADER=${ORVEN_WINE32}"
      ${CMAKE_CURRENT_LIST_DIR}/../tests/win32/wine-run.sh)
else()
  message(WARNING "orven: Debian's wine32 is not installed; the 32-bit tests cannot run "
                  "(dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386)")
endif()
