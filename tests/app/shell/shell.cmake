# The main window and its commands, and the program started under a real display.
daubry_tests(shell SOURCES daubry_app_test.cpp fill_arguments_test.cpp LINKS daubry_shell)
# zlib's CRC-32 seals the damaged samples the command must refuse.
find_package(ZLIB REQUIRED)
daubry_tests(fill_command SOURCES fill_command_test.cpp
  LINKS daubry_shell daubry_oracles ZLIB::ZLIB LABELS shell)
# The window's tool at both speeds against `daubry fill`: the same file.
daubry_tests(fill_speeds SOURCES fill_speeds_test.cpp ../../ui/ui_test_support.cpp
  ../filling/tool_preparation.cpp
  LINKS daubry_shell LABELS shell)

# The program itself under a virtual display. It leaves the screenshot of the
# main window as tests/shell/main-window.png in the build folder.
# xdnd_drop drops files on the window as a file manager would.
pkg_check_modules(XDND_X11 REQUIRED IMPORTED_TARGET x11)
add_executable(xdnd_drop ${CMAKE_CURRENT_LIST_DIR}/xdnd_drop.cpp)
target_link_libraries(xdnd_drop PRIVATE PkgConfig::XDND_X11)
add_test(NAME shell.EndToEndUnderXvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/end_to_end.sh $<TARGET_FILE:daubry>
    ${PROJECT_BINARY_DIR}/tests/shell $<TARGET_FILE:xdnd_drop>)
set_tests_properties(shell.EndToEndUnderXvfb PROPERTIES LABELS shell TIMEOUT 120)
# `daubry fill` under a file-size limit: exit 3 with a message, no temporary
# file left.
add_test(NAME shell.FillUnderFileSizeLimit
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/fill_size_limit.sh $<TARGET_FILE:daubry>
    ${PROJECT_SOURCE_DIR}/share/demo.png ${PROJECT_BINARY_DIR}/tests/shell/size-limit)
set_tests_properties(shell.FillUnderFileSizeLimit PROPERTIES LABELS shell TIMEOUT 120)
# `daubry fill` without --samples fills from the sample library the build draws.
if(TARGET samples)
  add_dependencies(fill_command_tests samples)
endif()

# The whole filling run with the mouse and keyboard; screenshots of each step
# go to tests/shell/fill-flow in the build folder.
add_test(NAME shell.FillFlowUnderXvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/fill_flow.sh $<TARGET_FILE:daubry>
    ${PROJECT_BINARY_DIR}/tests/shell/fill-flow ${PROJECT_SOURCE_DIR}/share/demo.png
    ${PROJECT_BINARY_DIR}/share/samples)
set_tests_properties(shell.FillFlowUnderXvfb PROPERTIES LABELS shell TIMEOUT 480)
# A first run by mouse alone, the Type list picked on screen; screenshots go
# to tests/shell/mouse-flow in the build folder.
add_test(NAME shell.MouseFlowUnderXvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/mouse_flow.sh $<TARGET_FILE:daubry>
    ${PROJECT_BINARY_DIR}/tests/shell/mouse-flow ${PROJECT_SOURCE_DIR}/share/demo.png
    ${PROJECT_BINARY_DIR}/share/samples)
set_tests_properties(shell.MouseFlowUnderXvfb PROPERTIES LABELS shell TIMEOUT 180)
# A first run by keyboard alone, on the flowers a first start holds;
# screenshots go to tests/shell/keyboard-flow in the build folder.
add_test(NAME shell.KeyboardFlowUnderXvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/keyboard_flow.sh $<TARGET_FILE:daubry>
    ${PROJECT_BINARY_DIR}/tests/shell/keyboard-flow ${PROJECT_SOURCE_DIR}/share/demo.png)
set_tests_properties(shell.KeyboardFlowUnderXvfb PROPERTIES LABELS shell TIMEOUT 180)
# The flows load a bundled collection the build draws.
if(TARGET samples)
  add_dependencies(shell_tests samples)
endif()
# The program killed while filling and started again: the recovery copy is
# offered and opens; screenshots go to tests/shell/recovery-flow.
add_test(NAME shell.RecoveryFlowUnderXvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/recovery_flow.sh $<TARGET_FILE:daubry>
    ${PROJECT_BINARY_DIR}/tests/shell/recovery-flow ${PROJECT_SOURCE_DIR}/share/demo.png
    ${PROJECT_BINARY_DIR}/share/samples)
set_tests_properties(shell.RecoveryFlowUnderXvfb PROPERTIES LABELS shell TIMEOUT 180)
