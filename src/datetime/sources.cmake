target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/calendar.cc
  ${CMAKE_CURRENT_LIST_DIR}/date_rules.cc
  ${CMAKE_CURRENT_LIST_DIR}/date_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/datetime_exports.cc)
