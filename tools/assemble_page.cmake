# Builds one self-contained page from its template in ui/.
# Called with -DINPUT=<ui/name.html> -DUI_DIR=<ui> -DOUTPUT=<assembled html>.
#
# A line "<!-- include PATH -->" is replaced by the file PATH (relative to
# UI_DIR), itself assembled the same way. A line "<!-- set NAME=VALUE -->"
# is dropped, and every @NAME@ in the finished page becomes VALUE; a name
# used but never set, or a part that is missing, stops the build.

cmake_minimum_required(VERSION 3.18)

set(include_open "<!-- include ")
set(set_open "<!-- set ")
set(marker_close " -->\n")

# Replaces every include line of `text` with the part it names.
function(expand_includes text depth out_var)
  if(depth GREATER 8)
    message(FATAL_ERROR "page parts include each other too deeply")
  endif()
  set(result "")
  while(TRUE)
    string(FIND "${text}" "${include_open}" start)
    if(start EQUAL -1)
      break()
    endif()
    string(SUBSTRING "${text}" 0 ${start} before)
    string(APPEND result "${before}")
    string(LENGTH "${include_open}" open_length)
    math(EXPR name_start "${start} + ${open_length}")
    string(SUBSTRING "${text}" ${name_start} -1 rest)
    string(FIND "${rest}" "${marker_close}" close)
    if(close EQUAL -1)
      message(FATAL_ERROR "unclosed include marker in ${INPUT}")
    endif()
    string(SUBSTRING "${rest}" 0 ${close} part)
    if(NOT EXISTS "${UI_DIR}/${part}")
      message(FATAL_ERROR "${INPUT} includes ${part}, which is not in ${UI_DIR}")
    endif()
    file(READ "${UI_DIR}/${part}" part_text)
    math(EXPR next_depth "${depth} + 1")
    expand_includes("${part_text}" ${next_depth} part_text)
    string(APPEND result "${part_text}")
    string(LENGTH "${marker_close}" close_length)
    math(EXPR after "${close} + ${close_length}")
    string(SUBSTRING "${rest}" ${after} -1 text)
  endwhile()
  string(APPEND result "${text}")
  set(${out_var} "${result}" PARENT_SCOPE)
endfunction()

file(READ "${INPUT}" page)

# The settings stand at the top of the page's own template.
set(names "")
while(TRUE)
  string(FIND "${page}" "${set_open}" start)
  if(NOT start EQUAL 0)
    break()
  endif()
  string(FIND "${page}" "${marker_close}" close)
  string(LENGTH "${set_open}" open_length)
  math(EXPR length "${close} - ${open_length}")
  string(SUBSTRING "${page}" ${open_length} ${length} setting)
  if(NOT setting MATCHES "^([A-Z_]+)=(.*)$")
    message(FATAL_ERROR "${INPUT}: a setting reads NAME=VALUE, not '${setting}'")
  endif()
  set(value_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  list(APPEND names ${CMAKE_MATCH_1})
  string(LENGTH "${marker_close}" close_length)
  math(EXPR after "${close} + ${close_length}")
  string(SUBSTRING "${page}" ${after} -1 page)
endwhile()

expand_includes("${page}" 0 page)

foreach(name ${names})
  string(REPLACE "@${name}@" "${value_${name}}" page "${page}")
endforeach()
string(REGEX MATCH "@[A-Z_]+@" unset "${page}")
if(unset)
  message(FATAL_ERROR "${INPUT} uses ${unset}, which it does not set")
endif()
if(page MATCHES "<!-- (include|set) ")
  message(FATAL_ERROR "${INPUT}: a marker is left after assembly (a setting must stand at the top)")
endif()

file(WRITE "${OUTPUT}" "${page}")
