# The JPEG writer and JPEG loading on photographs of about 1, 4 and 16
# megapixels, beside libjpeg-turbo encoding and decoding the same pictures.
find_package(JPEG QUIET)
find_package(PNG QUIET)
pkg_check_modules(TURBOJPEG QUIET IMPORTED_TARGET libturbojpeg)
if(JPEG_FOUND AND PNG_FOUND AND TURBOJPEG_FOUND)
  daubry_benchmark(jpeg LINKS daubry_image_io JPEG::JPEG PNG::PNG PkgConfig::TURBOJPEG)
endif()
