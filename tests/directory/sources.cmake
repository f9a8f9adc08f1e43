target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/database_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/path_safety_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/recovery_test.cc)
