daubry_tests(files SOURCES file_test.cpp file_stream_test.cpp file_memory_test.cpp
  LINKS daubry_image)
