daubry_tests(bmp SOURCES bmp_writer_test.cpp bmp_reader_test.cpp
  LINKS daubry_image daubry_codecs daubry_platform daubry_oracles LABELS codecs)
