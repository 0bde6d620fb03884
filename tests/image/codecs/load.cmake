find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(GIF REQUIRED)
daubry_tests(load SOURCES picture_loader_test.cpp image_load_test.cpp
  LINKS daubry_image daubry_codecs daubry_platform JPEG::JPEG PNG::PNG GIF::GIF LABELS codecs)
