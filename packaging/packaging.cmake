# Installation as a desktop application, and its Debian package
# (`cpack -G DEB` in the build folder, or `make package`).
if(NOT TARGET ringtally)
  return()
endif()

install(TARGETS ringtally RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/ringtally.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/ui/icons/ringtally.svg
        DESTINATION share/icons/hicolor/scalable/apps)
# The PNG sizes rendered for the window's own icon.
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION share/icons)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ringtally)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ringtally Zuzu")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Ringtally Zuzu - runs livestock judging contests")
set(CPACK_PACKAGE_DESCRIPTION
    "Scores contestants' placings against official placings and cuts, adds reasons scores, "
    "and ranks contestants and teams per division; phones submit over the local network.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ringtally Zuzu developers <ringtally@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Depends computed from the libraries the binary links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# STRICT tables and window functions need a newer SQLite than its symbols show;
# the page's navigation bar is laid out for Arial's metrics.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsqlite3-0 (>= 3.37), fonts-liberation2")
include(CPack)
