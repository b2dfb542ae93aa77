# A whole contest day in the real window under Xvfb, with phones in Chromium
# (node --test). The application always serves its cards on port 56780, so
# nothing else that uses that port may run beside it.
find_program(NODE_EXECUTABLE node)

# Registered once the whole directory is read, so that the window test of
# tests/window.cmake exists whichever file was included first.
function(register_contest_day_test)
  if(NOT TARGET ringtally)
    message(WARNING "the ringtally window is not built: the contest-day test is not registered")
    return()
  endif()
  add_test(NAME contest_day
    COMMAND ${NODE_EXECUTABLE} --test --test-force-exit --test-timeout=170000
            contest_day/contest_day.test.mjs
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
  set_tests_properties(contest_day PROPERTIES
    ENVIRONMENT "RINGTALLY_APP=$<TARGET_FILE:ringtally>"
    RESOURCE_LOCK "port56780;card_port_56780"
    TIMEOUT 240)
  if(TEST window)
    set_property(TEST window APPEND PROPERTY RESOURCE_LOCK port56780)
  endif()
endfunction()

if(NODE_EXECUTABLE)
  cmake_language(DEFER CALL register_contest_day_test)
else()
  message(WARNING "node not found: the contest-day test is not registered")
endif()
