# Compiles for WebAssembly with clang and links with lld: no C library, no entry point, no imports.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

find_program(CMAKE_CXX_COMPILER NAMES clang++ clang++-19 clang++-16 clang++-15 clang++-14 REQUIRED)
set(CMAKE_CXX_COMPILER_TARGET wasm32)
# The compiler check only compiles: there is nothing to link an ordinary program against.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# clang has no C++ library for this target; the include shim maps <cstdint> to clang's own <stdint.h>.
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${CMAKE_CURRENT_LIST_DIR}/../web/include)
# Only what a module marks for export leaves it; the rest may be inlined or dropped.
set(CMAKE_CXX_FLAGS_INIT "-ffreestanding -fvisibility=hidden")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostdlib -Wl,--no-entry -Wl,--strip-all -Wl,--export-dynamic -Wl,-z,stack-size=8192")
