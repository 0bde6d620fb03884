find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
daubry_tests(jpeg SOURCES jpeg_encoder_test.cpp jpeg_shared_test.cpp
  LINKS daubry_image_io JPEG::JPEG PNG::PNG LABELS codecs)
