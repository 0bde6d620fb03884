# The preparation of a photo for filling (segmentation and distance field) at 12 megapixels,
# on one thread and on two: wall time, stage times and peak memory.
daubry_benchmark(preparation LINKS daubry_fill)
