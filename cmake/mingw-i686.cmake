# Cross-compiles for 32-bit Windows (i686) with MinGW-w64; see mingw.cmake.
set(TESSEL_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
