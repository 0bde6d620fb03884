# Loading and saving images through the codecs and the picture loader.
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(GIF REQUIRED)
daubry_tests(load SOURCES image_load_test.cpp
  LINKS daubry_image_io daubry_oracles GIF::GIF LABELS codecs)
# Peak memory while loading hostile files, measured in child processes; its
# own program, so that the sanitizer options it sets stay its own.
find_package(ZLIB REQUIRED)
daubry_tests(memory SOURCES hostile_memory_test.cpp
  LINKS daubry_image_io daubry_oracles LABELS codecs)
