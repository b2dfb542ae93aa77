# The Windows build (cross-compiled with windows/mingw-w64.cmake): ringtally
# .exe, the small native window with the page in a browser beside it;
# ringtally-host.exe, the windowless host; and the installer. Included by the
# top CMakeLists.txt once the core library exists.
# The system libraries the platform files call.
target_link_libraries(ringtally_cards PUBLIC iphlpapi ws2_32)
target_link_libraries(ringtally_app PUBLIC ole32 shell32 uuid user32 gdi32 advapi32)
# Everything, the C++ runtime and the thread library included, is linked in:
# the executables need no DLL beside them.
set(RINGTALLY_STATIC_LINK -static -static-libgcc -static-libstdc++)
# What is shipped goes without its symbol table.
target_link_options(ringtally-host PRIVATE ${RINGTALLY_STATIC_LINK} -s)

# The icon: the SVG drawn once, rendered at the usual sizes and packed into
# one .ico (icotool) for the window, the executable and the installer.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(APP_ICON_SVG ${CMAKE_SOURCE_DIR}/ui/icons/ringtally.svg)
set(APP_ICON_ICO ${CMAKE_BINARY_DIR}/generated/ringtally.ico)
set(icon_pngs)
foreach(size 16 24 32 48 256)
  set(png ${CMAKE_BINARY_DIR}/generated/icon-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${APP_ICON_SVG} -o ${png}
    DEPENDS ${APP_ICON_SVG}
    COMMENT "Rendering the ${size}px icon")
  list(APPEND icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${APP_ICON_ICO}
  COMMAND ${ICOTOOL} -c -o ${APP_ICON_ICO} ${icon_pngs}
  DEPENDS ${icon_pngs}
  COMMENT "Packing the application icon")
configure_file(${CMAKE_SOURCE_DIR}/windows/ringtally.rc.in ${CMAKE_BINARY_DIR}/generated/ringtally.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/ringtally.rc PROPERTIES OBJECT_DEPENDS ${APP_ICON_ICO})

add_executable(ringtally WIN32 ${CMAKE_SOURCE_DIR}/app/ringtally_main_win32.cpp
  ${CMAKE_BINARY_DIR}/generated/ringtally.rc)
target_link_libraries(ringtally PRIVATE ringtally_app)
target_link_options(ringtally PRIVATE ${RINGTALLY_STATIC_LINK} -s -municode)

# The installer (NSIS, Unicode, 64-bit).
find_program(MAKENSIS makensis REQUIRED)
set(RINGTALLY_SETUP ${CMAKE_BINARY_DIR}/Ringtally-Zuzu-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${RINGTALLY_SETUP}
  COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8
          -DVERSION=${PROJECT_VERSION}
          "-DAPP_EXE=$<TARGET_FILE:ringtally>"
          -DAPP_ICON=${APP_ICON_ICO}
          -DOUTFILE=${RINGTALLY_SETUP}
          ${CMAKE_SOURCE_DIR}/windows/installer.nsi
  DEPENDS ringtally ${APP_ICON_ICO} ${CMAKE_SOURCE_DIR}/windows/installer.nsi
  COMMENT "Making the installer")
add_custom_target(installer ALL DEPENDS ${RINGTALLY_SETUP})

# The unit tests that mean something on Windows, built with Debian's
# googletest sources and run under Wine by the Linux suite.
set(GTEST_SOURCE_DIR /usr/src/googletest/googletest)
if(EXISTS ${GTEST_SOURCE_DIR}/src/gtest-all.cc)
  add_library(ringtally_gtest STATIC ${GTEST_SOURCE_DIR}/src/gtest-all.cc ${GTEST_SOURCE_DIR}/src/gtest_main.cc)
  target_include_directories(ringtally_gtest SYSTEM PUBLIC ${GTEST_SOURCE_DIR}/include PRIVATE ${GTEST_SOURCE_DIR})
  add_executable(ringtally_windows_tests
    ${CMAKE_SOURCE_DIR}/app/platform_win32_test.cpp
    ${CMAKE_SOURCE_DIR}/app/text_test.cpp
    ${CMAKE_SOURCE_DIR}/app/page_server_test.cpp
    ${CMAKE_SOURCE_DIR}/app/page_app_test.cpp
    ${CMAKE_SOURCE_DIR}/app/window_geometry_test.cpp
    ${CMAKE_SOURCE_DIR}/cards/lan_address_test.cpp)
  target_link_libraries(ringtally_windows_tests PRIVATE ringtally_core ringtally_gtest)
  target_link_options(ringtally_windows_tests PRIVATE ${RINGTALLY_STATIC_LINK})
else()
  message(WARNING "googletest sources not found: the Windows unit tests are not built")
endif()
