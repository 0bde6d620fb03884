# Threads and background tasks: the request hand-shake, with steps gated by
# semaphores rather than sleeps (run under the thread sanitizer too).
daubry_tests(tasks SOURCES media_task_test.cpp job_thread_test.cpp LINKS daubry_base)
