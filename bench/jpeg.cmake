# The JPEG writer and JPEG loading on photographs of about 1, 4 and 16
# megapixels, beside libjpeg-turbo encoding and decoding the same pictures.
pkg_check_modules(TURBOJPEG QUIET IMPORTED_TARGET libturbojpeg)
if(TARGET daubry_oracles AND TURBOJPEG_FOUND)
  daubry_benchmark(jpeg LINKS daubry_image_io daubry_oracles PkgConfig::TURBOJPEG)
endif()
