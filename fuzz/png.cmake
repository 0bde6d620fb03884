daubry_fuzzer(png LINKS daubry_codecs REGRESSIONS png)
