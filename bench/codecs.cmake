# Deflate and PNG against zlib and libpng in one program; left out quietly
# when either peer is missing.
find_package(ZLIB QUIET)
if(ZLIB_FOUND AND TARGET daubry_oracles)
  daubry_benchmark(codecs LINKS daubry_codecs daubry_oracles ZLIB::ZLIB)
endif()
