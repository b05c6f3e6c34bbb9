#!/usr/bin/env bash
# Makes the prefix the Windows cross build finds its packages in (cmake/mingw-w64-x86_64.cmake):
# GoogleTest built from Debian's sources with the MinGW-w64 compilers, and links to the host's
# header-only CLI11 and nlohmann_json, which carry no code of their own. Usage:
# scripts/windows_deps.sh PREFIX. Does nothing when PREFIX is already complete.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(realpath -m "$1")
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake

mkdir -p "$prefix/include" "$prefix/share/cmake"
for dir in CLI nlohmann; do ln -sfn "/usr/include/$dir" "$prefix/include/$dir"; done
for pkg in CLI11 nlohmann_json; do
  mkdir -p "$prefix/share/cmake/$pkg"
  for f in /usr/share/cmake/"$pkg"/*.cmake; do ln -sf "$f" "$prefix/share/cmake/$pkg/"; done
done

if [[ ! -f $prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
  cmake -S /usr/src/googletest -B "$prefix/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
  cmake --build "$prefix/googletest-build" -j"$(nproc)" >/dev/null
  cmake --install "$prefix/googletest-build" >/dev/null
fi
