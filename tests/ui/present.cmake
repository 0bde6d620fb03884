# The editor's present on a real display: the program runs under its own Xvfb
# (under_xvfb.sh), so it is one CTest test rather than one per case.
add_executable(present_tests ${CMAKE_CURRENT_LIST_DIR}/present_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_reader.cpp ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp)
daubry_warnings(present_tests)
target_link_libraries(present_tests PRIVATE daubry_ui daubry_test_support X11
  GTest::gtest GTest::gtest_main Threads::Threads)
add_test(NAME ui.PartialPresentUnderXvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/under_xvfb.sh $<TARGET_FILE:present_tests>
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
set_tests_properties(ui.PartialPresentUnderXvfb PROPERTIES LABELS ui TIMEOUT 60)
