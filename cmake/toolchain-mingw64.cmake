# Cross-build for 64-bit Windows with Debian's MinGW-w64 GCC (posix thread model, so that
# std::thread and friends work); tests run under wine64 through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVEN_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Tests run under wine64 in a prefix of the build folder's own (created on first use); the
# wrapper keeps Wine's lingering helper processes away from CTest's output pipes.
find_program(ORVEN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ORVEN_WINE NAMES wine64 wine)
if(ORVEN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" "WINELOADER=${ORVEN_WINE}"
      ${CMAKE_CURRENT_LIST_DIR}/../tests/win32/wine-run.sh)
endif()
