# The picture loader: our BMP reader, and libjpeg-turbo and giflib behind it.
# libpng and libjpeg are the oracles.
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(GIF REQUIRED)
daubry_tests(pictures SOURCES picture_loader_test.cpp bmp_reader_test.cpp
  LINKS daubry_image_io daubry_oracles GIF::GIF LABELS codecs)
