# ringtally-host with a card look-up that can be made slow on purpose, for
# tests of the card pages' time-out through the real card server.
add_executable(ringtally-slow-host ${CMAKE_CURRENT_LIST_DIR}/slow_host_main.cpp)
target_link_libraries(ringtally-slow-host PRIVATE ringtally_core)
