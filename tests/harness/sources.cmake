target_sources(zarq_harness PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/crash_points.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_stress.cc
  ${CMAKE_CURRENT_LIST_DIR}/folder_files.cc
  ${CMAKE_CURRENT_LIST_DIR}/harness_main.cc
  ${CMAKE_CURRENT_LIST_DIR}/invariants.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_stress.cc
  ${CMAKE_CURRENT_LIST_DIR}/price_files.cc
  ${CMAKE_CURRENT_LIST_DIR}/sample_database.cc
  ${CMAKE_CURRENT_LIST_DIR}/stress.cc
  ${CMAKE_CURRENT_LIST_DIR}/working_files.cc)
