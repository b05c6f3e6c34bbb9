# The console's "show" and "check" commands (text and JSON), included from src/cli/CMakeLists.txt.
find_package(nlohmann_json REQUIRED)
add_library(deltrix_cli_library STATIC ${CMAKE_CURRENT_LIST_DIR}/library_commands.cc
            ${CMAKE_CURRENT_LIST_DIR}/library_json.cc)
target_link_libraries(deltrix_cli_library PUBLIC deltrix_library deltrix_base deltrix_platform
                      PRIVATE nlohmann_json::nlohmann_json)
deltrix_warnings(deltrix_cli_library)
