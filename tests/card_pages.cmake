# Browser tests of the two phone pages: node's test runner drives Debian's
# Chromium against ringtally-host's card server on ports 57311-57314.
find_program(NODE_EXECUTABLE node)

# Registered once the whole directory is read, so that the slow host of
# tests/slow_host.cmake exists whichever file was included first.
function(register_card_pages_test)
  set(environment "RINGTALLY_HOST=$<TARGET_FILE:ringtally-host>" "RINGTALLY_UI_DIR=${UI_BUILD_DIR}")
  if(TARGET ringtally-slow-host)
    list(APPEND environment "RINGTALLY_SLOW_HOST=$<TARGET_FILE:ringtally-slow-host>")
  else()
    message(WARNING "ringtally-slow-host is not built: the card pages' time-out test will be skipped")
  endif()
  add_test(NAME card_pages
    COMMAND ${NODE_EXECUTABLE} --test --test-force-exit browser/card_pages.test.mjs
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
  set_tests_properties(card_pages PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300)
endfunction()

if(NODE_EXECUTABLE)
  cmake_language(DEFER CALL register_card_pages_test)
else()
  message(WARNING "node not found: the card page browser tests are not registered")
endif()
