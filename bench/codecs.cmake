# Deflate and PNG against zlib and libpng in one program; left out quietly
# when either peer is missing.
find_package(ZLIB QUIET)
find_package(PNG QUIET)
if(ZLIB_FOUND AND PNG_FOUND)
  daubry_benchmark(codecs LINKS daubry_codecs ZLIB::ZLIB PNG::PNG)
endif()
