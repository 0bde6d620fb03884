daubry_fuzzer(project LINKS daubry_fill)
