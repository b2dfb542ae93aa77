# Benchmarks, run by hand (never by ctest): build/scoring_bench
add_executable(scoring_bench ${CMAKE_CURRENT_LIST_DIR}/scoring_bench.cpp)
target_link_libraries(scoring_bench PRIVATE ringtally_core)

include(${CMAKE_CURRENT_LIST_DIR}/cards.cmake OPTIONAL)
