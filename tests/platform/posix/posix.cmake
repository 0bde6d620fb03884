# The settings file and paths over POSIX.
daubry_tests(settings_file SOURCES settings_file_test.cpp LINKS daubry_platform LABELS settings)
daubry_tests(paths SOURCES path_test.cpp LINKS daubry_platform LABELS files)
daubry_tests(shell_open SOURCES shell_open_test.cpp LINKS daubry_platform LABELS shell)
