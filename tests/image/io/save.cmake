# The writers of an image (BMP, PNG, JPEG) on files that fail.
daubry_tests(save SOURCES image_save_test.cpp LINKS daubry_image_io LABELS image)
