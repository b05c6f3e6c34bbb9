# Cross-compiles the Windows build with Debian's MinGW-w64 compilers. The -posix thread model is
# named in full: the -win32 one has no std::thread. Programs link statically, so an .exe needs no
# DLL beside it; tests run under Wine through ctest's emulator.
#
# DELTRIX_WINDOWS_DEPS names a prefix holding what find_package needs for Windows: GoogleTest
# built with these compilers, and the header-only packages (CLI11, nlohmann_json) linked in from
# the host (scripts/windows_deps.sh makes it). It is searched besides the MinGW-w64 root; the
# host's own prefixes never are, so no Linux library or header can slip into the build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${DELTRIX_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs the Windows test programs")
# Test programs are listed when ctest runs them (under Wine then), not at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
