target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/composite_lock_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/enumeration_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/list_change_sharing_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_message_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_rules_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_sharing_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/lookup_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_changes_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_copying_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_sorting_test.cc)
