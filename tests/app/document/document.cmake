# The document controller and the program's editor window, headless.
daubry_tests(document
  SOURCES picture_file_test.cpp document_test.cpp designer_test.cpp designer_history_test.cpp ../filling/disc_samples.cpp
          designer_project_test.cpp recovery_file_test.cpp
          ../filling/tool_preparation.cpp
          image_editor_vd_test.cpp document_test_support.cpp ../../ui/ui_test_support.cpp
          ../../render/render_test_support.cpp
  LINKS daubry_editor daubry_oracles)
