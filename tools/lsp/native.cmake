# tarvo-lsp for the host, on the language core of tools/checker/native.cmake.
add_executable(tarvo-lsp ${CMAKE_SOURCE_DIR}/tools/lsp/main.cpp)
target_link_libraries(tarvo-lsp PRIVATE tarvolang)
# The editor extension carries this program: no dependence on the C++
# library of the machine it was built on.
target_link_options(tarvo-lsp PRIVATE -static-libstdc++ -static-libgcc)
