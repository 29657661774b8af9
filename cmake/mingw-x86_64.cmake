# Cross-compiles for 64-bit Windows (x86_64) with MinGW-w64; see mingw.cmake.
set(TESSEL_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
