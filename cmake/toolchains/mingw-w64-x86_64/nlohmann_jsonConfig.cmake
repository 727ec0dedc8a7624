# The header-only JSON library for the mingw-w64 build. Debian's package points at /usr/include,
# which must never reach the cross compiler (glibc's headers would shadow mingw's), so its
# headers are copied into a directory of their own.
set(brocade_json_headers /usr/include/nlohmann)
include(${CMAKE_CURRENT_LIST_DIR}/require_debian_file.cmake)
brocade_require_debian_file(nlohmann_json ${brocade_json_headers}/json.hpp
  "nlohmann/json.hpp not found (nlohmann-json3-dev)")
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(brocade_json_include ${CMAKE_BINARY_DIR}/third-party/nlohmann-json/include)
  file(COPY ${brocade_json_headers} DESTINATION ${brocade_json_include})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${brocade_json_include})
endif()
set(nlohmann_json_FOUND TRUE)
