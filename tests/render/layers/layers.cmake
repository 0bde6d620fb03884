daubry_tests(view
  SOURCES viewer_layer_test.cpp viewer_tile_test.cpp flatten_stack_test.cpp
          layer_composer_test.cpp relief_light_test.cpp view_test_support.cpp ../render_test_support.cpp
  LINKS daubry_layers)
