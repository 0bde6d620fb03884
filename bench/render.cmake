# The filling engine's drawing pattern on the device (headless, llvmpipe where
# there is no GPU).
daubry_benchmark(render LINKS daubry_render)
