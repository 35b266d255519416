# The core runtime library's tests: one executable for all of its areas.
dravik_add_test(xolib_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/xolib_string_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xolib_core_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xolib_ini_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xolib_signal_test.cpp
  LIBS xolib GTest::gtest_main)
# The save tests reach the library's failure-injection hook.
target_include_directories(xolib_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../hostlibs/xolib/src)
