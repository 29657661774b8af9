# The layout's sources, listed once: the shells' library and the browser tests' native build take them from here.
set(TESSEL_LAYOUT_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TESSEL_LAYOUT_SOURCES
  ${TESSEL_LAYOUT_DIR}/layout_table.cpp
  ${TESSEL_LAYOUT_DIR}/placement.cpp)
