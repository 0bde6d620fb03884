# The filling run on the device (headless, llvmpipe where there is no GPU):
# stamps per second and the time to each coverage.
daubry_benchmark(fill LINKS daubry_fill)
