# The Samples and Filling dialogs, driven headless through the editor's
# messages; one test loads a collection of the sample library the build draws.
daubry_tests(dialogs
  SOURCES lawn_filling_dlg_test.cpp lawn_sample_dlg_test.cpp ../../ui/ui_test_support.cpp
  LINKS daubry_filling)
if(TARGET samples)
  add_dependencies(dialogs_tests samples)
endif()

# The samples dialog in a real window under a virtual display. It leaves the
# screenshot tests/app/filling/samples-dialog.png in the build folder.
add_executable(samples_window ${CMAKE_CURRENT_LIST_DIR}/samples_window.cpp)
daubry_warnings(samples_window)
target_link_libraries(samples_window PRIVATE daubry_filling)
add_test(NAME dialogs.SamplesDialogUnderXvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/samples_under_xvfb.sh $<TARGET_FILE:samples_window>
    ${PROJECT_BINARY_DIR}/tests/app/filling)
set_tests_properties(dialogs.SamplesDialogUnderXvfb PROPERTIES LABELS dialogs TIMEOUT 120)
if(TARGET samples)
  add_dependencies(samples_window samples)
endif()
