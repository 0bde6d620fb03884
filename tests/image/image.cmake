daubry_tests(image
  SOURCES field_test.cpp image_color_test.cpp image_blend_test.cpp image_stack_test.cpp
          image_converter_test.cpp blur_test.cpp distance_transform_test.cpp resample_test.cpp locked_image_test.cpp
          color_difference_test.cpp
  LINKS daubry_image daubry_oracles)
