#!/usr/bin/env bash
# Builds the Windows programs for release: deltrix-creator.exe (the console) and, where the build
# has it, deltrix-creator-gui.exe (the dialogs), cross-compiled with MinGW-w64, linked statically
# (no DLL beside them), with the program's version information, stripped, into one folder.
# Usage: scripts/release_windows.sh [FOLDER]   (default: out/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-out/windows}
scripts/setup.sh
export CCACHE_BASEDIR=$PWD
launchers=()
command -v ccache >/dev/null &&
  launchers=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

scripts/windows_deps.sh build/windows-deps
cmake -S . -B build/windows-release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DDELTRIX_TESTS=OFF -DDELTRIX_WINDOWS_DEPS="$PWD/build/windows-deps" \
  "${launchers[@]}" >/dev/null
programs=(deltrix-creator)
# (grep reads the whole list: stopping early would break the pipe and fail the pipeline.)
cmake --build build/windows-release --target help | grep -w deltrix-creator-gui >/dev/null &&
  programs+=(deltrix-creator-gui)
cmake --build build/windows-release -j"$(nproc)" --target "${programs[@]}"

mkdir -p "$out"
for program in "${programs[@]}"; do
  exe=$(find build/windows-release/src -name "$program.exe" -print -quit)
  x86_64-w64-mingw32-strip -o "$out/$program.exe" "$exe"
done
ls -l "$out"
