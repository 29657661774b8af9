# The core's sources, listed once: the program's library, the fuzz targets and the browser tests' native build
# all take them from here.
set(TESSEL_CORE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TESSEL_CORE_SOURCES
  ${TESSEL_CORE_DIR}/random_source.cpp
  ${TESSEL_CORE_DIR}/instruction_table.cpp
  ${TESSEL_CORE_DIR}/instruction_text.cpp
  ${TESSEL_CORE_DIR}/port_registers.cpp
  ${TESSEL_CORE_DIR}/port_summary.cpp)
