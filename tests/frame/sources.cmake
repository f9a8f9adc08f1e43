target_sources(zarq_unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/lifecycle_test.cc)
target_sources(zarq_unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/messages_test.cc)
# The message files the tests load (cmake/messages.cmake).
target_compile_definitions(zarq_unit_tests PRIVATE
  ZARQ_TEST_MESSAGE_IDS_FILE="${ZARQ_MESSAGE_IDS_FILE}"
  ZARQ_TEST_SHIPPED_MESSAGE_FILE="${ZARQ_SHIPPED_MESSAGE_FILE}")
add_dependencies(zarq_unit_tests zarq_messages zarq_message_ids)
