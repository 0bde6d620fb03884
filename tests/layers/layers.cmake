# The level table of docs/architecture.md, checked against every #include of
# the product sources.
daubry_tests(layers SOURCES layers_test.cpp include_rules.cpp)
target_compile_definitions(layers_tests PRIVATE DAUBRY_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
