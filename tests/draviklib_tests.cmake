# The render-farm client library's tests: model, protocol, and the client
# application against the simulated master and raw test servers, and the
# simulated master itself.
dravik_add_test(draviklib_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/draviklib_model_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/draviklib_client_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/draviklib_master_test.cpp
  LIBS draviklib GTest::gtest_main
  TIMEOUT 180)
# The protocol and socket cases use the library's private helpers.
target_include_directories(draviklib_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../hostlibs/draviklib/src)
