# The card pages in both engines (Chromium through playwright-core, WebKitGTK's
# MiniBrowser through WebKitWebDriver under Xvfb), the accessibility audit
# with axe-core, and keyboard-only use, all against the real ringtally-host.
# Card servers use ports 57320-57329, WebKitWebDriver 57360-57369.
find_program(NODE_EXECUTABLE node)

# Deferred like card_pages.cmake, so that the slow host exists whichever
# file was read first.
function(register_browser_access_tests)
  set(environment "RINGTALLY_HOST=$<TARGET_FILE:ringtally-host>")
  # The organiser's page as the build assembles it, where the build does.
  if(DEFINED UI_BUILD_DIR)
    list(APPEND environment "RINGTALLY_UI_DIR=${UI_BUILD_DIR}")
  endif()
  if(TARGET ringtally-slow-host)
    list(APPEND environment "RINGTALLY_SLOW_HOST=$<TARGET_FILE:ringtally-slow-host>")
  endif()
  foreach(suite card_engines accessibility keyboard)
    add_test(NAME browser_${suite}
      COMMAND ${NODE_EXECUTABLE} --test --test-force-exit browser/${suite}.test.mjs
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
    set_tests_properties(browser_${suite} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 400)
  endforeach()
endfunction()

if(NODE_EXECUTABLE)
  cmake_language(DEFER CALL register_browser_access_tests)
else()
  message(WARNING "node not found: the two-engine, accessibility and keyboard browser tests are not registered")
endif()
