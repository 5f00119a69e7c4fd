# What both MinGW-w64 toolchains share; ORVEN_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${ORVEN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVEN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVEN_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${ORVEN_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVEN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every .exe stands alone: libgcc, libstdc++ and winpthread are linked in, so only the
# system's DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
