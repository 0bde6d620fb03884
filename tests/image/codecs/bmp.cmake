daubry_tests(bmp SOURCES bmp_writer_test.cpp LINKS daubry_image_io daubry_oracles LABELS codecs)
