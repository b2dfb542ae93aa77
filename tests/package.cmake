# The Debian package, built and unpacked into a throw-away root.
if(TARGET ringtally)
  add_test(NAME debian_package
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/package/check-package.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(debian_package PROPERTIES TIMEOUT 600)
endif()
