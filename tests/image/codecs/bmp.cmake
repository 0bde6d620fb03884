find_package(PNG REQUIRED)
daubry_tests(bmp SOURCES bmp_writer_test.cpp bmp_reader_test.cpp
  LINKS daubry_image daubry_codecs daubry_platform PNG::PNG JPEG::JPEG LABELS codecs)
