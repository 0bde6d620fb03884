# The program under a virtual X display: a menu opened while it fills, and
# the window's whole run against `daubry fill`.
pkg_check_modules(BENCH_X11 IMPORTED_TARGET x11)
if(BENCH_X11_FOUND)
  daubry_benchmark(window LINKS daubry_image_io PkgConfig::BENCH_X11 ${CMAKE_DL_LIBS})
  target_compile_definitions(bench_window PRIVATE DAUBRY_PROGRAM="$<TARGET_FILE:daubry>")
  add_dependencies(bench_window daubry samples)
endif()
