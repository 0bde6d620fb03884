daubry_tests(settings SOURCES registry_test.cpp LINKS daubry_base)
daubry_tests(app SOURCES application_test.cpp id_pool_test.cpp number_test.cpp wnd_test.cpp
  node_pool_test.cpp share_folder_test.cpp
  LINKS daubry_base)
