# Shared helpers: warnings, sanitizers, and one GoogleTest executable per test
# area. The libraries come from the level table (cmake/levels.cmake).

function(daubry_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(DAUBRY_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(DAUBRY_FUZZ)
  # Every library under test carries coverage and the sanitizers.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(DAUBRY_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(DAUBRY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# daubry_tests(<area> [SOURCES file...] [LINKS lib...] [LABELS label...])
# One test executable per area, from the given sources (relative to the
# calling .cmake file) or else every *_test.cpp beside it; every test carries the area as its CTest
# label, so `ctest -L <area>` runs them.
function(daubry_tests area)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;LABELS" ${ARGN})
  set(here ${CMAKE_CURRENT_LIST_DIR})
  if(ARG_SOURCES)
    list(TRANSFORM ARG_SOURCES PREPEND ${here}/ OUTPUT_VARIABLE sources)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${here}/*_test.cpp)
  endif()
  if(NOT sources)
    return()
  endif()
  set(target ${area}_tests)
  add_executable(${target} ${sources})
  daubry_warnings(${target})
  target_link_libraries(${target} PRIVATE ${ARG_LINKS} daubry_test_support
    GTest::gtest GTest::gtest_main Threads::Threads)
  # One label per test: a list would not survive test discovery intact. The
  # LABELS go in front ("codecs-png"), and since `ctest -L` takes a regular
  # expression, `ctest -L codecs` and `ctest -L png` both find these tests.
  set(label ${area})
  if(ARG_LABELS)
    list(JOIN ARG_LABELS "-" prefix)
    set(label "${prefix}-${area}")
  endif()
  gtest_discover_tests(${target}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/tests
    PROPERTIES LABELS "${label}"
    DISCOVERY_TIMEOUT 120)
endfunction()
