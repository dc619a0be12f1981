# Cross build for Windows with Debian's mingw-w64 packages. Included by the
# per-architecture toolchain files, which set TESTER_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The win32 thread model: its runtime needs no libwinpthread-1.dll.
find_program(CMAKE_C_COMPILER NAMES ${TESTER_MINGW_TRIPLET}-gcc-win32 ${TESTER_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TESTER_MINGW_TRIPLET}-g++-win32 ${TESTER_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TESTER_MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TESTER_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime goes into each binary, so nothing of the compiler has to ship
# beside the DLLs: they import from KERNEL32, msvcrt and USER32 only.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
