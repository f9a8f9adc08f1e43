target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/converted_reads_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/symbol_and_bar_test.cc)
