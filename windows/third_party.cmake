# The third-party libraries of the Windows build, compiled from Debian's
# source packages of the versions the Linux build links against (fetched by
# windows/fetch-sources.sh into RINGTALLY_THIRD_PARTY_DIR). The targets take
# the names the Linux build gets from pkg-config, so the rest of the build
# does not tell the two apart.
set(RINGTALLY_THIRD_PARTY_DIR "${CMAKE_BINARY_DIR}/third-party" CACHE PATH
    "Where windows/fetch-sources.sh unpacked the third-party sources")
set(third_party_src ${RINGTALLY_THIRD_PARTY_DIR}/src)
foreach(required sqlite3/bld/sqlite3.c cpp-httplib/httplib.h qr-code-generator/cpp/qrcodegen.cpp)
  if(NOT EXISTS ${third_party_src}/${required})
    message(FATAL_ERROR "${third_party_src}/${required} is missing: run windows/fetch-sources.sh ${RINGTALLY_THIRD_PARTY_DIR}")
  endif()
endforeach()

enable_language(C)
add_library(ringtally_sqlite3 STATIC ${third_party_src}/sqlite3/bld/sqlite3.c)
target_include_directories(ringtally_sqlite3 SYSTEM PUBLIC ${third_party_src}/sqlite3/bld)
# Debian's own choices for the library that matter here: thread safety,
# foreign keys and window functions are on by default.
target_compile_definitions(ringtally_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
target_compile_options(ringtally_sqlite3 PRIVATE -w)

add_library(ringtally_httplib INTERFACE)
target_include_directories(ringtally_httplib SYSTEM INTERFACE ${third_party_src}/cpp-httplib)
# Windows 10 is the oldest system the application runs on.
target_compile_definitions(ringtally_httplib INTERFACE _WIN32_WINNT=0x0A00)
target_link_libraries(ringtally_httplib INTERFACE ws2_32)

add_library(ringtally_qrcodegen STATIC ${third_party_src}/qr-code-generator/cpp/qrcodegen.cpp)
target_include_directories(ringtally_qrcodegen SYSTEM PUBLIC ${third_party_src}/qr-code-generator/cpp)

add_library(PkgConfig::SQLITE3 INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SQLITE3 INTERFACE ringtally_sqlite3)
add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED)
target_link_libraries(PkgConfig::HTTPLIB INTERFACE ringtally_httplib)
set(QRCODEGEN_LIB ringtally_qrcodegen)
set(QRCODEGEN_INCLUDE ${third_party_src}/qr-code-generator/cpp)
