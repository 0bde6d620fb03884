# The viewer control on a headless editor window.
daubry_tests(viewer SOURCES viewer_test.cpp ../ui_test_support.cpp ../../render/render_test_support.cpp
  LINKS daubry_viewer)
