target_sources(zarq_test_support PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dynamic_library.cc
  ${CMAKE_CURRENT_LIST_DIR}/temp_folder.cc)
if(WIN32)
  target_sources(zarq_test_support PRIVATE ${CMAKE_CURRENT_LIST_DIR}/subprocess_win32.cc)
else()
  target_sources(zarq_test_support PRIVATE ${CMAKE_CURRENT_LIST_DIR}/subprocess_posix.cc)
endif()
