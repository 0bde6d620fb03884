# The sample library drawn by tools/sample_gen in the build tree.
if(TARGET samples)
  daubry_tests(samples SOURCES sample_gen_test.cpp LINKS daubry_image_io)
  add_dependencies(samples_tests samples)
  target_compile_definitions(samples_tests PRIVATE
    DAUBRY_SAMPLES_DIR="${PROJECT_BINARY_DIR}/share/samples")
endif()
