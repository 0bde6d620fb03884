# Stamps erased from a filled picture on the device (headless, llvmpipe where
# there is no GPU): the tiles they touched drawn again from the log.
daubry_benchmark(erase LINKS daubry_fill)
