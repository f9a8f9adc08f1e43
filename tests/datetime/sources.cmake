target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/calendar_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/date_rules_test.cc)
