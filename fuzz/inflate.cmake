daubry_fuzzer(inflate LINKS daubry_codecs REGRESSIONS inflate)
