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

# The Windows build under Wine. `make windows` builds it into build-windows
# (RINGTALLY_WINDOWS_BUILD); the tests share one Wine prefix there and run
# one at a time, after wine_prefix has made it.
set(RINGTALLY_WINDOWS_BUILD ${CMAKE_SOURCE_DIR}/build-windows CACHE PATH
    "The Windows build whose products the Wine tests run")
find_program(WINE64 wine64 PATHS /usr/lib/wine)
if(NOT WINE64 OR NOT NODE_EXECUTABLE)
  message(WARNING "wine64 or node not found: the Windows build is not tested")
  return()
endif()
set(wine_environment
  "RINGTALLY_WINDOWS_BUILD=${RINGTALLY_WINDOWS_BUILD}"
  "RINGTALLY_WINE64=${WINE64}"
  "WINEPREFIX=${RINGTALLY_WINDOWS_BUILD}/wineprefix"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml=")

add_test(NAME wine_prefix
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/windows/prepare-wine.sh ${RINGTALLY_WINDOWS_BUILD} ${WINE64})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wine TIMEOUT 300
  ENVIRONMENT "${wine_environment}")

# The host stream tests that the Linux host passes, run against
# ringtally-host.exe. Left out: a contest name with < > and " (no Windows
# file name may hold them) and POSIX signals (Windows has none).
add_test(NAME wine_host_stream
  COMMAND ringtally_tests
    "--gtest_filter=Host.*:HostSetupTest.*:ScoringPath.*:Robustness.*:CardHost.Wifi*-Host.OddInputIsSkippedAndTextSurvivesTheRoundTrip:Host.SignalsShutDownInOrder")
set_tests_properties(wine_host_stream PROPERTIES
  ENVIRONMENT "${wine_environment};RINGTALLY_HOST=${RINGTALLY_WINDOWS_BUILD}/ringtally-host.exe;RINGTALLY_HOST_WRAPPER=${WINE64}")

# The unit tests of the Windows build: the platform files, the page server
# and the portable helpers, on a display of their own.
add_test(NAME wine_unit_tests
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/windows/run-unit-tests.sh ${RINGTALLY_WINDOWS_BUILD} ${WINE64})
set_tests_properties(wine_unit_tests PROPERTIES ENVIRONMENT "${wine_environment}")

foreach(suite wine_host wine_window wine_installer)
  add_test(NAME ${suite}
    COMMAND ${NODE_EXECUTABLE} --test --test-force-exit windows/${suite}.test.mjs
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
  set_tests_properties(${suite} PROPERTIES
    ENVIRONMENT "${wine_environment};RINGTALLY_HOST=$<TARGET_FILE:ringtally-host>")
endforeach()
set_tests_properties(wine_unit_tests wine_host_stream wine_host wine_window wine_installer PROPERTIES
  FIXTURES_REQUIRED wine RESOURCE_LOCK wine TIMEOUT 600)
