# The organiser's page as the page server serves it (ringtally-host
# --page-port), driven in Debian's Chromium through the page's own messaging.
find_program(NODE_EXECUTABLE node)
if(NODE_EXECUTABLE)
  add_test(NAME page_server_browser
    COMMAND ${NODE_EXECUTABLE} --test --test-force-exit windows/page_server.test.mjs
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
  set_tests_properties(page_server_browser PROPERTIES
    ENVIRONMENT "RINGTALLY_HOST=$<TARGET_FILE:ringtally-host>"
    TIMEOUT 300)
endif()
