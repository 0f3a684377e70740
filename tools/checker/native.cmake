# The language core, built for the host: the runtime's lexer, tables and
# parsers (no Win32 call among them) and, taken from the area files, the
# commands' keyword tables and syntax descriptors with null handlers. The
# checker and the language server link it.
set(TARVO_LANG_SOURCES
  core/arguments.cpp core/command_table.cpp core/conditionals.cpp core/errors.cpp
  core/labels.cpp core/memory.cpp core/name_cache.cpp core/numbers.cpp core/script.cpp
  core/statement_table.cpp core/statements.cpp core/steps.cpp core/argument_steps.cpp
  core/variables.cpp host/binding_syntax.cpp)
# Every other runtime file may hold descriptors (beside their handlers).
file(GLOB TARVO_AREA_SOURCES CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
  ${CMAKE_SOURCE_DIR}/core/*.cpp ${CMAKE_SOURCE_DIR}/host/*.cpp
  ${CMAKE_SOURCE_DIR}/graphics/*.cpp ${CMAKE_SOURCE_DIR}/system/*.cpp)
list(REMOVE_ITEM TARVO_AREA_SOURCES ${TARVO_LANG_SOURCES})
set(TARVO_SYNTAX_SOURCES)
foreach(src ${TARVO_AREA_SOURCES})
  string(REPLACE "/" "_" stem ${src})
  set(out ${CMAKE_BINARY_DIR}/syntax/${stem})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/syntax
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/checker/syntax_tables.py ${CMAKE_SOURCE_DIR}/${src} ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/${src} ${CMAKE_SOURCE_DIR}/tools/checker/syntax_tables.py
    VERBATIM)
  list(APPEND TARVO_SYNTAX_SOURCES ${out})
endforeach()
set_source_files_properties(${TARVO_SYNTAX_SOURCES} PROPERTIES COMPILE_OPTIONS -Wno-unused-variable)

list(TRANSFORM TARVO_LANG_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
add_library(tarvolang STATIC ${TARVO_LANG_SOURCES} ${TARVO_SYNTAX_SOURCES}
  ${CMAKE_SOURCE_DIR}/tools/checker/native_platform.cpp
  ${CMAKE_SOURCE_DIR}/tools/checker/checker.cpp ${CMAKE_SOURCE_DIR}/tools/checker/keywords.cpp)
target_include_directories(tarvolang PUBLIC ${CMAKE_SOURCE_DIR})

add_executable(tarvocheck ${CMAKE_SOURCE_DIR}/tools/checker/main.cpp)
target_link_libraries(tarvocheck PRIVATE tarvolang)
target_link_options(tarvocheck PRIVATE -static-libstdc++ -static-libgcc)
