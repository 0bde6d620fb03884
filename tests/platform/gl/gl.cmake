# The Direct3D-9-shaped device over OpenGL, headless on EGL.
daubry_tests(device SOURCES device_test.cpp ../../render/render_test_support.cpp
  LINKS daubry_render LABELS render)
