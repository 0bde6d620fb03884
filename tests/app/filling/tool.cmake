# The filling tool on a headless editor window: its task, timer and states.
daubry_tests(tool SOURCES mdf_field_test.cpp fill_pace_test.cpp disc_samples.cpp tool_preparation.cpp
  ../../ui/ui_test_support.cpp ../../render/render_test_support.cpp
  LINKS daubry_filling)
