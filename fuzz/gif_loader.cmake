daubry_fuzzer(gif_loader LINKS daubry_platform)
