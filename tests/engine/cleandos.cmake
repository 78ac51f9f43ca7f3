# The native boot-time deletion tool: its list work runs here as an ordinary program.
tm_add_test(cleandos_tests SOURCES cleandos_test.cpp LIBS cleandos_core shlwapi DEPENDS cleandos_digest_header)

# Unix links in the prefix the tool must never follow, made fresh before the tests.
add_test(NAME cleandos_link_fixtures COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make_cleandos_links.sh)
set_tests_properties(cleandos_link_fixtures PROPERTIES FIXTURES_SETUP cleandos_links)
set_tests_properties(cleandos_tests PROPERTIES FIXTURES_REQUIRED cleandos_links)

# The shipped tool: a native-subsystem image importing ntdll alone, and the digest the program
# checks it against.
add_test(NAME cleandos_image
  COMMAND ${PROJECT_SOURCE_DIR}/tools/cleandos/check_native.sh
          $<TARGET_FILE:cleandos> ${CMAKE_BINARY_DIR}/generated/cleandos_digest.h)
