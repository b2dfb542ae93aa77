# The organiser's page in headless Chromium against the real ringtally-host.
find_program(NODE_EXECUTABLE node REQUIRED)
add_test(NAME main_page_browser
  COMMAND ${NODE_EXECUTABLE} --test browser/main_page.test.mjs
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
set_tests_properties(main_page_browser PROPERTIES
  ENVIRONMENT "RINGTALLY_HOST=$<TARGET_FILE:ringtally-host>;RINGTALLY_UI_DIR=${UI_BUILD_DIR}"
  TIMEOUT 900)
