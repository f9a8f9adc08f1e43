target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/format_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_file.cc
  ${CMAKE_CURRENT_LIST_DIR}/field_mask.cc
  ${CMAKE_CURRENT_LIST_DIR}/mbf.cc
  ${CMAKE_CURRENT_LIST_DIR}/price_batch.cc
  ${CMAKE_CURRENT_LIST_DIR}/price_codec.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_buffer.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_gap.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_search.cc
  ${CMAKE_CURRENT_LIST_DIR}/stored_values.cc)
