# card_bench: phones on loopback against the card server (not a test).
add_executable(card_bench ${CMAKE_CURRENT_LIST_DIR}/card_bench.cpp)
target_link_libraries(card_bench PRIVATE ringtally_core)
