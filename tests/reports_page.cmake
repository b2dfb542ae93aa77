# The Reports section and the Placings submission grid in headless Chromium
# against the real ringtally-host; prints to PDF and counts pages (pdfinfo).
find_program(NODE_EXECUTABLE node REQUIRED)
add_test(NAME reports_page_browser
  COMMAND ${NODE_EXECUTABLE} --test browser/reports.test.mjs
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
set_tests_properties(reports_page_browser PROPERTIES
  ENVIRONMENT "RINGTALLY_HOST=$<TARGET_FILE:ringtally-host>;RINGTALLY_UI_DIR=${UI_BUILD_DIR}"
  TIMEOUT 600)
