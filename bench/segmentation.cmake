# The segmentation of photographs of about 1, 4, 12 and 24 megapixels, time per stage and peak
# memory, with OpenCV's GraphSegmentation (same sigma, k and minimum size) as the peer. The
# photographs are read with OpenCV, so without OpenCV (scripts/install-deps --bench) the
# benchmark is left out.
find_package(OpenCV QUIET COMPONENTS core imgproc imgcodecs ximgproc)
if(OpenCV_FOUND)
  daubry_benchmark(segmentation LINKS daubry_fill)
  target_include_directories(bench_segmentation SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
  target_link_libraries(bench_segmentation PRIVATE opencv_core opencv_imgproc opencv_imgcodecs
    opencv_ximgproc)
endif()
