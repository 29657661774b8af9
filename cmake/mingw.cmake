# Cross-compiles for Windows with MinGW-w64 for TESSEL_MINGW_PROCESSOR (i686 or x86_64, set by the thin
# toolchain file that includes this one); runs the target's programs under Wine of the matching width.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TESSEL_MINGW_PROCESSOR})

set(TESSEL_MINGW_PREFIX ${TESSEL_MINGW_PROCESSOR}-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TESSEL_MINGW_PREFIX}-gcc-posix ${TESSEL_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TESSEL_MINGW_PREFIX}-g++-posix ${TESSEL_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TESSEL_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine's 32-bit part (a win32 prefix) for i686 programs, its 64-bit part (a win64 prefix) for x86_64 ones.
if(TESSEL_MINGW_PROCESSOR STREQUAL "x86_64")
  set(TESSEL_WINE_ARCH win64)
else()
  set(TESSEL_WINE_ARCH win32)
endif()
# Test programs run through a wrapper that keeps a private Wine prefix of that kind in the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/shared-prefix.sh run ${TESSEL_WINE_ARCH})
