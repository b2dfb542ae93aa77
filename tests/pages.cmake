# The page tests read the assembled documents in the build's ui folder: what
# they check is what the application embeds and serves.
if(TARGET ringtally_tests)
  target_compile_definitions(ringtally_tests PRIVATE RINGTALLY_UI_DIR="${UI_BUILD_DIR}")
endif()
