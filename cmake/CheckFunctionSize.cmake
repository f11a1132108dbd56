# Fails when a function body in src/ or tools/ runs past MAX_LINES lines: a
# long routine is split into named steps. A dispatch table written as a
# function may be exempted with NOLINTNEXTLINE(readability-function-size) just
# above it (clang-tidy's marker for the same rule).
#   cmake -DSOURCE_DIR=<project root> [-DMAX_LINES=60] -P CheckFunctionSize.cmake
#
# A function starts at a line that ends with "{" after a ")" (the end of a
# signature) outside any other function, and ends where its braces balance;
# braces in strings, characters and comments are not counted.
cmake_minimum_required(VERSION 3.25)
if(NOT MAX_LINES)
  set(MAX_LINES 60)
endif()

set(faults "")
file(GLOB_RECURSE sources "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp"
     "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines)
  set(number 0)
  set(depth 0)
  set(recent "")
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    # Drop what cannot hold code braces: escapes, strings, characters, comments.
    string(REGEX REPLACE "\\\\." "" code "${line}")
    string(REGEX REPLACE "\"[^\"]*\"" "" code "${code}")
    string(REGEX REPLACE "'[^']*'" "" code "${code}")
    string(REGEX REPLACE "//.*" "" code "${code}")
    if(depth EQUAL 0)
      if(code MATCHES "\\)[^;={}]*\\{[ \t]*$" AND NOT code MATCHES "^[ \t]*(if|for|while|switch|else|do|catch|return|case)[ (]")
        set(start ${number})
        set(exempt FALSE)
        if("${recent}${line}" MATCHES "readability-function-size")
          set(exempt TRUE)
        endif()
      else()
        set(recent "${recent}${line}")
        string(LENGTH "${recent}" length)
        if(length GREATER 400)
          math(EXPR cut "${length} - 400")
          string(SUBSTRING "${recent}" ${cut} -1 recent)
        endif()
        continue()
      endif()
    endif()
    string(REGEX REPLACE "[^{]" "" opening "${code}")
    string(REGEX REPLACE "[^}]" "" closing "${code}")
    string(LENGTH "${opening}" opened)
    string(LENGTH "${closing}" closed)
    math(EXPR depth "${depth} + ${opened} - ${closed}")
    if(depth LESS_EQUAL 0)
      set(depth 0)
      set(recent "")
      math(EXPR body "${number} - ${start} - 1")
      if(body GREATER MAX_LINES AND NOT exempt)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND faults "${shown}:${start}: function body of ${body} lines\n")
      endif()
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Functions over ${MAX_LINES} lines (split them into named steps):\n${faults}")
endif()
