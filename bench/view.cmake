# The viewer layers on the device (headless, llvmpipe where there is no GPU):
# DrawQuad, CommitTiles and FlattenStack.
daubry_benchmark(view LINKS daubry_layers)
