# libpng is the oracle of the PNG tests: it decodes the conformance suite
# beside us and reads back what we write.
daubry_tests(png SOURCES png_decoder_test.cpp png_encoder_test.cpp png_formats_test.cpp
  png_oracle.cpp
  LINKS daubry_codecs daubry_oracles LABELS codecs)
