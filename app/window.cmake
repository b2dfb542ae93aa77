# The desktop application `ringtally`: the GTK/WebKitGTK window around the
# core library. Included by the top CMakeLists.txt.
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)

# The icon is drawn once as SVG; the window gets it as PNGs of the usual
# sizes, rendered here and built into the executable.
set(APP_ICON_SVG ${CMAKE_SOURCE_DIR}/ui/icons/ringtally.svg)
set(APP_ICON_PNGS)
foreach(size 16 24 32 48 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/ringtally.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${APP_ICON_SVG} -o ${png}
    DEPENDS ${APP_ICON_SVG}
    COMMENT "Rendering the ${size}px icon")
  list(APPEND APP_ICON_PNGS ${png})
endforeach()
set(APP_ICON_CPP ${CMAKE_BINARY_DIR}/generated/app_icon.cpp)
string(REPLACE ";" "|" APP_ICON_PNG_ARG "${APP_ICON_PNGS}")
add_custom_command(
  OUTPUT ${APP_ICON_CPP}
  COMMAND ${CMAKE_COMMAND} "-DINPUTS=${APP_ICON_PNG_ARG}" -DOUTPUT=${APP_ICON_CPP}
          -P ${CMAKE_SOURCE_DIR}/app/embed_icon.cmake
  DEPENDS ${APP_ICON_PNGS} ${CMAKE_SOURCE_DIR}/app/embed_icon.cmake
  COMMENT "Embedding the application icon"
  VERBATIM)

file(GLOB WINDOW_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/*_gtk.cpp)
add_executable(ringtally ${CMAKE_SOURCE_DIR}/app/ringtally_main.cpp ${WINDOW_SOURCES} ${APP_ICON_CPP})
target_link_libraries(ringtally PRIVATE ringtally_app PkgConfig::GTK3 PkgConfig::WEBKIT)
