# Project files: a log of 100,000 stamps saved, and a project reopened to its
# picture on the device (headless, llvmpipe where there is no GPU).
daubry_benchmark(project LINKS daubry_fill)
# The made-up stamp logs of the tests.
target_include_directories(bench_project PRIVATE ${PROJECT_SOURCE_DIR})
