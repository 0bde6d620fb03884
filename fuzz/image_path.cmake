daubry_fuzzer(image_path LINKS daubry_image)
