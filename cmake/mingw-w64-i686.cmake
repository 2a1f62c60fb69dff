# Cross build of the 32-bit Windows program with Debian's MinGW-w64 toolchain:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(DSNCONF_MINGW_PREFIX i686-w64-mingw32)

# The win32 threads flavour: the program starts no thread, and this flavour
# needs no winpthread library, so nothing beyond the Windows system DLLs is
# imported.
find_program(CMAKE_CXX_COMPILER NAMES ${DSNCONF_MINGW_PREFIX}-g++-win32 ${DSNCONF_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${DSNCONF_MINGW_PREFIX}-gcc-win32 ${DSNCONF_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${DSNCONF_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${DSNCONF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLL beside the program: its C++ and GCC runtimes are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
