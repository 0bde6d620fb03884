daubry_tests(engine SOURCES fill_random_test.cpp coverage_mask_test.cpp fill_engine_test.cpp
  fine_engine_test.cpp visible_sizes_test.cpp
  LINKS daubry_fill)
