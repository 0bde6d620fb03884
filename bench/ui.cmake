# The editor's frames on the device (headless, llvmpipe where there is no GPU):
# a full frame with tool bars and a dialog, a small dirty frame, long text.
daubry_benchmark(ui LINKS daubry_ui)
