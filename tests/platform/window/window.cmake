# The window system: queues and messages, menus, accelerators, dropped files,
# device contexts.
daubry_tests(window SOURCES window_queue_test.cpp menu_test.cpp gdi_test.cpp
  accelerator_test.cpp drop_test.cpp LINKS daubry_base LABELS shell)
# Dropped files and typed keys as the display reports them: SDL's own events, pushed into its
# queue with the display library's off-screen driver.
daubry_tests(window_display SOURCES display_drop_test.cpp display_keys_test.cpp LINKS daubry_base LABELS shell)
