daubry_tests(ui
  SOURCES ctrl_test.cpp frame_set_test.cpp image_editor_test.cpp frame_test.cpp
          primitives_test.cpp text_test.cpp wnd_test.cpp tool_bar_test.cpp clipboard_test.cpp cursor_test.cpp
          button_test.cpp dialog_test.cpp edit_test.cpp choice_controls_test.cpp list_controls_test.cpp file_dialog_test.cpp slice_skin_test.cpp color_selector_test.cpp skin_test.cpp
          ui_test_support.cpp
  LINKS daubry_ui)
