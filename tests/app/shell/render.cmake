# The time-lapse of a project, checked by a reader of the standard library.
add_test(NAME shell.RenderTimelapse
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/timelapse.sh $<TARGET_FILE:daubry>
    ${PROJECT_SOURCE_DIR}/fuzz/corpus/project/small.daubry ${PROJECT_BINARY_DIR}/tests/timelapse)
set_tests_properties(shell.RenderTimelapse PROPERTIES LABELS shell-render TIMEOUT 120)
# A picture larger than the memory allowed: drawn in bands, the same file.
add_test(NAME shell.RenderInBands
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/render_bands.sh $<TARGET_FILE:daubry>
    ${PROJECT_SOURCE_DIR}/fuzz/corpus/project/small.daubry ${PROJECT_BINARY_DIR}/tests/bands)
set_tests_properties(shell.RenderInBands PROPERTIES LABELS shell-render TIMEOUT 120)
