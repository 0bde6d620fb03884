find_package(GIF REQUIRED)
daubry_tests(load SOURCES picture_loader_test.cpp image_load_test.cpp
  LINKS daubry_image daubry_codecs daubry_platform daubry_oracles GIF::GIF LABELS codecs)
