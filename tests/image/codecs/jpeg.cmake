daubry_tests(jpeg SOURCES jpeg_encoder_test.cpp jpeg_shared_test.cpp jpeg_symbols_test.cpp
  LINKS daubry_image_io daubry_oracles LABELS codecs)
