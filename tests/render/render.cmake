daubry_tests(render
  SOURCES shader_program_test.cpp dx_context_test.cpp editor_device_test.cpp
          render_test_support.cpp
  LINKS daubry_render)
