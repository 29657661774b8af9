# Compiler settings shared by every target of the project.

# The browser edition: the core compiled to WebAssembly inside one HTML page.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "wasm32")
  set(TESSEL_WEB ON)
  # Smallest code, optimised across files: under 4 KB Chromium compiles the module at once, on the page's
  # thread. Given here so that it comes after the build type's -Os.
  add_compile_options(-Oz -flto)
  add_link_options(-Oz -flto)
else()
  set(TESSEL_WEB OFF)
endif()

# The libraries of the core and the layout; the web module takes their objects themselves, so that no archiver
# for WebAssembly is needed.
if(TESSEL_WEB)
  set(TESSEL_LIBRARY_KIND OBJECT)
else()
  set(TESSEL_LIBRARY_KIND STATIC)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/warnings.cmake)
add_library(tessel_warnings INTERFACE)
target_compile_options(tessel_warnings INTERFACE ${TESSEL_WARNING_FLAGS})

# The core and shell must live without a C runtime: no exceptions, no RTTI,
# no thread-safe static guards, no global constructors pulled in by accident.
add_library(tessel_freestanding INTERFACE)
target_compile_options(tessel_freestanding INTERFACE
  -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables)

# The 32-bit target does its double arithmetic in SSE2 registers: x87 excess
# precision would round 1366 / 100 * 75 up to 1025 instead of 1024.
add_library(tessel_float INTERFACE)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(tessel_float INTERFACE -msse2 -mfpmath=sse)
endif()

add_library(tessel_sanitizers INTERFACE)
if(TESSEL_SANITIZE AND NOT WIN32 AND NOT TESSEL_WEB)
  target_compile_options(tessel_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tessel_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
