# The part of both cross-compiling toolchains that is the same: MinGW-w64 with the posix thread
# model, for the triplet in ORNIVEL_TRIPLET (set by toolchain-i686.cmake or toolchain-x86_64.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ORNIVEL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORNIVEL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORNIVEL_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORNIVEL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
