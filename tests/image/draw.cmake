# Drawing into images: gradients, the path rasteriser, paths, glyphs.
daubry_tests(draw
  SOURCES gradient_test.cpp path_rasterizer_test.cpp image_path_test.cpp glyph_test.cpp
  LINKS daubry_image)
