# Browser tests of the two phone pages: node's test runner drives Debian's
# Chromium against ringtally-host's card server on ports 57311-57314.
find_program(NODE_EXECUTABLE node)
if(NODE_EXECUTABLE)
  set(card_pages_env "RINGTALLY_HOST=$<TARGET_FILE:ringtally-host>")
  if(TARGET ringtally-slow-host)
    list(APPEND card_pages_env "RINGTALLY_SLOW_HOST=$<TARGET_FILE:ringtally-slow-host>")
  endif()
  add_test(NAME card_pages
    COMMAND ${NODE_EXECUTABLE} --test browser/card_pages.test.mjs
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
  set_tests_properties(card_pages PROPERTIES
    ENVIRONMENT "${card_pages_env}"
    TIMEOUT 300)
else()
  message(WARNING "node not found: the card page browser tests are not registered")
endif()
