# Image operations on 1, 4 and 16 megapixel images, with OpenCV's GaussianBlur and
# distanceTransform as peers when OpenCV is installed (scripts/install-deps --bench).
daubry_benchmark(image LINKS daubry_image)
find_package(OpenCV QUIET COMPONENTS core imgproc)
if(OpenCV_FOUND)
  target_include_directories(bench_image SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
  target_link_libraries(bench_image PRIVATE opencv_core opencv_imgproc)
  target_compile_definitions(bench_image PRIVATE DAUBRY_HAVE_OPENCV=1)
endif()
