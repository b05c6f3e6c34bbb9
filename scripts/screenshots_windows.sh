#!/usr/bin/env bash
# Cross-builds the native Windows dialogs and saves a picture of every one into
# docs/screenshots/windows/, drawn by Wine in a virtual desktop (which gives the window frames)
# under Xvfb, with IPAPGothic standing in for MS UI Gothic. Not part of the test command; needs no
# display of its own. BUILD_DIR overrides the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-build/windows}
out=docs/screenshots/windows

scripts/setup.sh g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth fonts-ipafont-gothic \
  imagemagick

# The cross build of scripts/test_windows.sh, with its packages for Windows.
export CCACHE_BASEDIR=$root
launchers=()
command -v ccache >/dev/null &&
  launchers=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
scripts/windows_deps.sh build/windows-deps
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDELTRIX_WINDOWS_DEPS="$root/build/windows-deps" \
  -DGTest_DIR="$root/build/windows-deps/lib/cmake/GTest" "${launchers[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target deltrix_gui_win32_screenshots
program=$build/tests/gui/win32/deltrix_gui_win32_screenshots.exe

prefix=$(mktemp -d)
shots=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$prefix" "$shots"' EXIT
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ /d IPAPGothic /f \
  >/dev/null
# Wine's own fonts in the prefix, so the title bars are drawn in Tahoma and the close boxes with
# Marlett as on Windows.
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
wineserver -k
wineserver -p

xvfb-run -a -s "-screen 0 1024x768x24" \
  wine explorer /desktop=deltrix,900x520 "$program" "$(winepath -w "$shots")" >/dev/null 2>&1
mkdir -p "$out"
count=0
for bmp in "$shots"/*.bmp; do
  [[ -e $bmp ]] || break
  name=$(basename "${bmp%.bmp}")
  convert "$bmp" -strip "$out/$name.png"
  echo "$out/$name.png"
  count=$((count + 1))
done
if ((count != 10)); then
  echo "expected 10 pictures, got $count" >&2
  exit 1
fi
