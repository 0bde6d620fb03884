daubry_fuzzer(bmp_reader LINKS daubry_platform)
