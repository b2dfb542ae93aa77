# The parsing fuzz target, run by the test suite through its plain driver.
add_executable(fuzz_parsing_driver tools/fuzz/fuzz_parsing.cpp tools/fuzz/fuzz_driver.cpp)
target_link_libraries(fuzz_parsing_driver PRIVATE ringtally_core)
file(GLOB FUZZ_SEEDS ${CMAKE_SOURCE_DIR}/tools/fuzz/seeds/*)
add_test(NAME fuzz_parsing COMMAND fuzz_parsing_driver ${FUZZ_SEEDS})
