# 32-bit x86 Windows: the target where __stdcall is real and the exports carry
# the @N suffix of the bytes their arguments take.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESTER_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
