daubry_fuzzer(image_load LINKS daubry_image_io)
