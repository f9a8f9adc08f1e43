# The message texts: messages/messages.txt becomes the system's message
# file, which the library loads at the first ZARQ1_GetErrorMessage.
#   Windows: ZARQMSG110EN.DLL, a resource-only DLL holding a string table,
#            installed below the system's common files folder.
#   Linux:   ZARQMSG110EN.cat, an X/Open message catalog (gencat) in
#            <datadir>/zarq/, the build's own in <build>/share/zarq/.
# ZARQ_MESSAGE_IDS_FILE names a second file of the same identifiers whose
# texts are the identifiers themselves, for the tests.
set(ZARQ_MESSAGE_SOURCE ${PROJECT_SOURCE_DIR}/messages/messages.txt)
set(ZARQ_MESSAGE_GENERATOR ${PROJECT_SOURCE_DIR}/cmake/generate_messages.cmake)
set(ZARQ_MESSAGE_FILE_STEM ZARQMSG110EN)

# Generates the message tool's input for one file; identifiers: ON or OFF.
function(zarq_message_input output format identifiers)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${ZARQ_MESSAGE_SOURCE} -DOUTPUT=${output}
            -DFORMAT=${format} -DIDENTIFIERS=${identifiers} -P ${ZARQ_MESSAGE_GENERATOR}
    DEPENDS ${ZARQ_MESSAGE_SOURCE} ${ZARQ_MESSAGE_GENERATOR}
    VERBATIM)
endfunction()

if(WIN32)
  # A DLL of resources only: no code, no entry point, no C runtime.
  function(zarq_message_dll target name identifiers folder)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    zarq_message_input(${script} rc ${identifiers})
    add_library(${target} MODULE ${script})
    set_target_properties(${target} PROPERTIES
      PREFIX "" SUFFIX ".DLL" OUTPUT_NAME ${name} LINKER_LANGUAGE C
      LIBRARY_OUTPUT_DIRECTORY ${folder} RUNTIME_OUTPUT_DIRECTORY ${folder})
    target_link_options(${target} PRIVATE -nostdlib -Wl,-e,0)
  endfunction()
  zarq_message_dll(zarq_messages ${ZARQ_MESSAGE_FILE_STEM} OFF ${CMAKE_BINARY_DIR})
  set(ZARQ_MESSAGE_FILE ${CMAKE_BINARY_DIR}/${ZARQ_MESSAGE_FILE_STEM}.DLL)
  install(TARGETS zarq_messages LIBRARY
          DESTINATION "Common Files/Halvern/Localized Resources")
  if(ZARQ_BUILD_TESTS)
    # Beside the test programs, which load both by name.
    zarq_message_dll(zarq_message_ids ZARQIDS110EN ON ${CMAKE_BINARY_DIR}/tests)
    add_custom_command(TARGET zarq_messages POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tests
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZARQ_MESSAGE_FILE} ${CMAKE_BINARY_DIR}/tests
      VERBATIM)
    set(ZARQ_MESSAGE_IDS_FILE ZARQIDS110EN.DLL)
    set(ZARQ_SHIPPED_MESSAGE_FILE ${ZARQ_MESSAGE_FILE_STEM}.DLL)
  endif()
else()
  find_program(ZARQ_GENCAT gencat REQUIRED)
  function(zarq_message_catalog target catalog identifiers)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}.msg)
    zarq_message_input(${source} msg ${identifiers})
    get_filename_component(folder ${catalog} DIRECTORY)
    add_custom_command(OUTPUT ${catalog}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${catalog}
      COMMAND ${ZARQ_GENCAT} ${catalog} ${source}
      DEPENDS ${source}
      VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${catalog})
  endfunction()
  set(ZARQ_MESSAGE_FILE ${CMAKE_BINARY_DIR}/share/zarq/${ZARQ_MESSAGE_FILE_STEM}.cat)
  zarq_message_catalog(zarq_messages ${ZARQ_MESSAGE_FILE} OFF)
  install(FILES ${ZARQ_MESSAGE_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/zarq)
  if(ZARQ_BUILD_TESTS)
    set(ZARQ_MESSAGE_IDS_FILE ${CMAKE_BINARY_DIR}/tests/messages/ZARQIDS110EN.cat)
    zarq_message_catalog(zarq_message_ids ${ZARQ_MESSAGE_IDS_FILE} ON)
    set(ZARQ_SHIPPED_MESSAGE_FILE ${ZARQ_MESSAGE_FILE})
  endif()
endif()
add_dependencies(zarq zarq_messages)
