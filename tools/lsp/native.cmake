# tarvo-lsp for the host, on the language core of tools/checker/native.cmake.
add_executable(tarvo-lsp ${CMAKE_SOURCE_DIR}/tools/lsp/main.cpp)
target_link_libraries(tarvo-lsp PRIVATE tarvolang)
