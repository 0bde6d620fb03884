# The change history behind Undo and Redo; zlib reads the tiles it deflates.
find_package(ZLIB REQUIRED)
daubry_tests(history SOURCES change_history_test.cpp LINKS daubry_document ZLIB::ZLIB)

# On the headless device: the filling tool's road through the viewer's tiles.
daubry_tests(history_view
  SOURCES change_history_view_test.cpp ../../render/layers/view_test_support.cpp
          ../../render/render_test_support.cpp
  LINKS daubry_document)
