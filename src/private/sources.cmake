target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/converted_reads.cc
  ${CMAKE_CURRENT_LIST_DIR}/private_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/symbol_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/trading_bar.cc)
