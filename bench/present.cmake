# Presenting the editor's frame on screen: the compositor's copy and swap.
# Needs a display (run it under Xvfb); without one it reports an error.
daubry_benchmark(present LINKS daubry_ui)
