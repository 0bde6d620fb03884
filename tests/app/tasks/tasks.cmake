# Threads and background tasks: the request hand-shake, with steps gated by
# semaphores rather than sleeps; the editor's tasks with their status dialog
# on a headless editor.
daubry_tests(tasks
  SOURCES media_task_test.cpp ie_task_test.cpp ../../ui/ui_test_support.cpp
  LINKS daubry_tasks)
