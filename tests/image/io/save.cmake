# The writers of an image (BMP, PNG, JPEG) on files that fail, and row by row.
daubry_tests(save SOURCES image_save_test.cpp row_file_test.cpp LINKS daubry_image_io LABELS image)
