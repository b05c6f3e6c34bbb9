# The console's "tags" command, included from src/cli/CMakeLists.txt.
find_package(nlohmann_json REQUIRED)
add_library(deltrix_cli_tags STATIC ${CMAKE_CURRENT_LIST_DIR}/tags_command.cc)
target_link_libraries(deltrix_cli_tags PUBLIC deltrix_tags deltrix_platform PRIVATE nlohmann_json::nlohmann_json)
deltrix_warnings(deltrix_cli_tags)
