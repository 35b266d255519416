# Requests between programs: in-process cases plus a peer program that the
# two-process case starts.
add_executable(xolib_ipc_peer ipc_peer_main.cpp)
target_link_libraries(xolib_ipc_peer PRIVATE xolib)

dravik_add_test(xolib_ipc_test SOURCES xolib_ipc_test.cpp LIBS xolib GTest::gtest_main)
target_compile_definitions(xolib_ipc_test PRIVATE
  XOLIB_IPC_PEER="$<TARGET_FILE:xolib_ipc_peer>")
add_dependencies(xolib_ipc_test xolib_ipc_peer)
