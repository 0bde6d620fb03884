# Shared helpers: every folder is one static library built from the .cpp files
# directly inside it, and every test folder one GoogleTest executable per area.

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

if(DAUBRY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# daubry_library(<name> [LINKS lib...])
# Builds lib<name> from the sources of the calling folder.
function(daubry_library name)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    # A folder whose code has not been written yet still takes its place in
    # the layering, so the levels above can link it.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LINKS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  daubry_warnings(${name})
  if(ARG_LINKS)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  endif()
endfunction()

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
