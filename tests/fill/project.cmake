# The stamp log and the project file; zlib's CRC-32 checks the chunks we write.
find_package(ZLIB REQUIRED)
daubry_tests(project SOURCES stamp_log_test.cpp project_file_test.cpp LINKS daubry_fill ZLIB::ZLIB)
# Pictures drawn again from their logs, on the headless device.
daubry_tests(replay SOURCES replay_test.cpp ../render/render_test_support.cpp LINKS daubry_fill
  LABELS project)
