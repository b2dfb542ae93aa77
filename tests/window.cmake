# The desktop window under Xvfb through WebKitWebDriver (node --test).
# It uses the application's own card port, so it never runs beside another
# test that could take that port.
find_program(NODE_EXECUTABLE node)
if(NODE_EXECUTABLE AND TARGET ringtally)
  add_test(NAME window
    COMMAND ${NODE_EXECUTABLE} --test --test-timeout=60000
            ${CMAKE_SOURCE_DIR}/tests/window/window.test.mjs)
  set_tests_properties(window PROPERTIES
    ENVIRONMENT "RINGTALLY_APP=$<TARGET_FILE:ringtally>;RINGTALLY_UI_DIR=${UI_BUILD_DIR}"
    RESOURCE_LOCK card_port_56780
    TIMEOUT 300)
endif()
