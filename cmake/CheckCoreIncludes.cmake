# Fails when a core source includes anything but the C++ standard library,
# fmt or another core module: the core must build without Qt and without the
# operating system's headers, which live behind src/platform.
#   cmake -DSOURCE_DIR=<project root> -P CheckCoreIncludes.cmake
cmake_minimum_required(VERSION 3.25)

set(core_dirs base config sl printer job display logo preview)

set(standard_headers
  algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv
  chrono cinttypes climits clocale cmath codecvt compare complex concepts condition_variable
  coroutine csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar
  cwctype deque exception execution expected filesystem format forward_list fstream functional
  future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale
  map memory memory_resource mutex new numbers numeric optional ostream queue random ranges ratio
  regex scoped_allocator semaphore set shared_mutex source_location span sstream stack
  stdexcept stop_token streambuf string string_view syncstream system_error thread tuple
  type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
  version)
set(allowed_prefixes "fmt/")
list(TRANSFORM core_dirs APPEND "/" OUTPUT_VARIABLE allowed_local_prefixes)

set(faults "")
foreach(dir IN LISTS core_dirs)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/src/${dir}/*.h" "${SOURCE_DIR}/src/${dir}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines)
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
        continue()
      endif()
      set(header "${CMAKE_MATCH_2}")
      set(ok FALSE)
      if(CMAKE_MATCH_1 STREQUAL "<")
        if(header IN_LIST standard_headers)
          set(ok TRUE)
        endif()
        set(prefixes ${allowed_prefixes})
      else()
        set(prefixes ${allowed_local_prefixes})
      endif()
      foreach(prefix IN LISTS prefixes)
        string(FIND "${header}" "${prefix}" at)
        if(at EQUAL 0)
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND faults "${shown}:${number}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Core sources may include only the C++ standard library, fmt and other "
                      "core modules (OS and Qt access belongs in src/platform):\n${faults}")
endif()
