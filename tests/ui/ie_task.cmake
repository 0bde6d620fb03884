# The editor's tasks with their status dialog on a headless editor. They need
# the OpenGL device, whose software driver is not instrumented and shows races
# of its own to the thread sanitizer, so they stay out of that build.
daubry_tests(ie_task SOURCES ie_task_test.cpp ui_test_support.cpp LINKS daubry_ui)
