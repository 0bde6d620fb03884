# zlib's CRC-32 checks the checksums of the collection files the tests build and we write.
find_package(ZLIB REQUIRED)
daubry_tests(samples
  SOURCES file_lawn_col_test.cpp sample_collection_test.cpp ../render/render_test_support.cpp
  LINKS daubry_fill ZLIB::ZLIB)
