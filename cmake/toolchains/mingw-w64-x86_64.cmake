# 64-bit x86 Windows: one calling convention, so the exports are the plain
# mangled names.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESTER_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
