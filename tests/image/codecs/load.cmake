find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(GIF REQUIRED)
daubry_tests(load SOURCES picture_loader_test.cpp image_load_test.cpp
  LINKS daubry_image daubry_codecs daubry_platform JPEG::JPEG PNG::PNG GIF::GIF LABELS codecs)
# Peak memory while loading hostile files, measured in child processes; its
# own program, so that the sanitizer options it sets stay its own.
find_package(ZLIB REQUIRED)
daubry_tests(memory SOURCES hostile_memory_test.cpp
  LINKS daubry_image daubry_codecs daubry_platform JPEG::JPEG PNG::PNG ZLIB::ZLIB LABELS codecs)
