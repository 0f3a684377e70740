# nlohmann-json (Debian's nlohmann-json3-dev) is header-only. The cross
# compilers do not search the host's /usr/include, and must not see the rest
# of it: TARVO_JSON_INCLUDE is a folder that holds only a link to it.
find_path(TARVO_JSON_HOST nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT TARVO_JSON_HOST)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (tools/setup.sh)")
endif()
set(TARVO_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json_include)
if(NOT EXISTS ${TARVO_JSON_INCLUDE}/nlohmann)
  file(MAKE_DIRECTORY ${TARVO_JSON_INCLUDE})
  file(CREATE_LINK ${TARVO_JSON_HOST}/nlohmann ${TARVO_JSON_INCLUDE}/nlohmann SYMBOLIC)
endif()
