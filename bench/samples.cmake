# Adding a full collection of samples (picture files to textures) on the headless device.
daubry_benchmark(samples LINKS daubry_fill)
