# zlib is the oracle of the deflate tests: it must read what we write, and we
# must read what it writes.
find_package(ZLIB REQUIRED)
daubry_tests(deflate SOURCES deflate_test.cpp huffman_test.cpp
  LINKS daubry_codecs ZLIB::ZLIB LABELS codecs)
