daubry_fuzzer(msc LINKS daubry_fill)
