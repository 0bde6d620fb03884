# The Samples and Filling dialogs, driven headless through the editor's
# messages; one test loads a collection of the sample library the build draws.
daubry_tests(dialogs
  SOURCES lawn_filling_dlg_test.cpp lawn_sample_dlg_test.cpp ../ui/ui_test_support.cpp
  LINKS daubry_fill)
if(TARGET samples)
  add_dependencies(dialogs_tests samples)
endif()
