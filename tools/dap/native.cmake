# tarvo-dap on Linux: the debug adapter runs natively and starts the runtime
# through Wine. Placed at the top of build/native, where it finds the
# runtime of build/x64 by itself.
add_executable(tarvo-dap ${CMAKE_CURRENT_LIST_DIR}/tarvo_dap.cpp ${CMAKE_CURRENT_LIST_DIR}/platform.cpp)
target_include_directories(tarvo-dap PRIVATE ${CMAKE_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(tarvo-dap PRIVATE Threads::Threads)
set_target_properties(tarvo-dap PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
