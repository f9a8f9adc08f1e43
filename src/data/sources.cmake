target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/composite_seam.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_adjustment.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_cursor.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_file_edit.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_merging.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_rebuild.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_sorting.cc
  ${CMAKE_CURRENT_LIST_DIR}/date_search.cc
  ${CMAKE_CURRENT_LIST_DIR}/locked_data.cc
  ${CMAKE_CURRENT_LIST_DIR}/maintenance_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/range_reading.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_deletion.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_reading.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_writing.cc
  ${CMAKE_CURRENT_LIST_DIR}/stored_records.cc)
