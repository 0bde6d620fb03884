# The viewer control and the filling tool in a headless editor window
# (llvmpipe where there is no GPU): a full paint, placements per second.
daubry_benchmark(viewer LINKS daubry_filling)
