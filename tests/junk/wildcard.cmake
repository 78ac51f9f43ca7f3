tm_add_test(wildcard_tests SOURCES wildcard_test.cpp LIBS tm_wildcard)
