target_sources(zarq_test_support PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/peer.cc
  ${CMAKE_CURRENT_LIST_DIR}/temp_folder.cc)
