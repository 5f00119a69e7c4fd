# nlohmann/json, header-only, from Debian's nlohmann-json3-dev. A cross build must not put
# /usr/include on its include path (the host's C library lives there), so the header's folder
# is linked into the build tree and that folder is used instead, in every build alike.
find_path(ORVEN_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp
          PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(orven_json_include "${CMAKE_BINARY_DIR}/nlohmann-json-include")
file(MAKE_DIRECTORY "${orven_json_include}")
file(CREATE_LINK "${ORVEN_NLOHMANN_JSON_INCLUDE}/nlohmann" "${orven_json_include}/nlohmann"
     SYMBOLIC)
add_library(orven_json INTERFACE)
target_include_directories(orven_json SYSTEM INTERFACE "${orven_json_include}")
