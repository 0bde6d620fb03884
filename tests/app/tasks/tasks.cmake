# Threads and background tasks: the request hand-shake, with steps gated by
# semaphores rather than sleeps (run under the thread sanitizer too).
daubry_tests(tasks SOURCES media_task_test.cpp LINKS daubry_tasks)

# The editor's tasks with their status dialog on a headless editor. They need
# the OpenGL device, whose software driver is not instrumented and shows races
# of its own to the thread sanitizer, so they stay out of that build.
daubry_tests(ie_task SOURCES ie_task_test.cpp ../../ui/ui_test_support.cpp LINKS daubry_tasks)
