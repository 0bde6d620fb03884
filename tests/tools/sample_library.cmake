# The sample library drawn by tools/sample_gen in the build tree.
if(TARGET samples)
  daubry_tests(sample_library SOURCES sample_gen_test.cpp LINKS daubry_fill)
  add_dependencies(sample_library_tests samples)
  target_compile_definitions(sample_library_tests PRIVATE
    DAUBRY_SAMPLES_DIR="${PROJECT_BINARY_DIR}/share/samples")
endif()
