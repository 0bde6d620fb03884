# Recording and walking back a change of a whole layer, beside zlib deflating
# the same tiles.
find_package(ZLIB QUIET)
daubry_benchmark(history LINKS daubry_document)
if(ZLIB_FOUND)
  target_link_libraries(bench_history PRIVATE ZLIB::ZLIB)
  target_compile_definitions(bench_history PRIVATE DAUBRY_HAVE_ZLIB=1)
endif()
