# The program's editor window's own dialogs, headless.
daubry_tests(editor
  SOURCES about_dlg_test.cpp ../../ui/ui_test_support.cpp
  LINKS daubry_editor)
