# The application shell: windows and messages, menus, device contexts, the
# main window and its commands, and the program started under a real display.
daubry_tests(shell
  SOURCES wnd_test.cpp window_queue_test.cpp menu_test.cpp gdi_test.cpp
  LINKS daubry_app)
