# The change history behind Undo and Redo; zlib reads the tiles it deflates.
find_package(ZLIB REQUIRED)
daubry_tests(history SOURCES change_history_test.cpp LINKS daubry_document ZLIB::ZLIB)
