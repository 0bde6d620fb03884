# The window system: queues and messages, menus, device contexts.
daubry_tests(window SOURCES window_queue_test.cpp menu_test.cpp gdi_test.cpp
  LINKS daubry_app LABELS shell)
