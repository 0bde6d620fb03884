daubry_tests(segmentation
  SOURCES segment_graph_test.cpp label_distance_test.cpp edge_order_test.cpp
          large_array_test.cpp word_pipe_test.cpp
  LINKS daubry_fill daubry_oracles)
