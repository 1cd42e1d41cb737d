# Cross build for 32-bit Windows with Debian's MinGW-w64 compilers:
#   cmake -S . -B build-win32 -G Ninja --toolchain cmake/toolchain-i686-w64-mingw32.cmake
# The POSIX-thread flavour of the compilers is used because the writer's
# standard mutexes and the tests' threads need it; everything is linked
# statically so that the programs and the DLL need no MinGW runtime DLL beside
# them. Programs built here run under Wine as CTest's emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TAVRI_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRI_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRI_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRI_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${TAVRI_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${TAVRI_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "Ranlib")

# Libraries built for the target by our own build (LZO, zstd) sit in
# <build>/deps; the rest comes from the MinGW sysroot.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRI_MINGW_TRIPLET} ${CMAKE_BINARY_DIR}/deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TAVRI_WINE NAMES wine)
if(TAVRI_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRI_WINE})
endif()
