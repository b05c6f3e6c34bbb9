# The console's "show" and "check" commands, included from src/cli/CMakeLists.txt.
add_library(deltrix_cli_library STATIC ${CMAKE_CURRENT_LIST_DIR}/library_commands.cc)
target_link_libraries(deltrix_cli_library PUBLIC deltrix_library deltrix_base deltrix_platform)
deltrix_warnings(deltrix_cli_library)
