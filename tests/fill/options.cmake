daubry_tests(options SOURCES options_test.cpp LINKS daubry_fill)
