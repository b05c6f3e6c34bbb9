#!/usr/bin/env bash
# Builds the desktop front-end and saves a picture of every dialog into docs/screenshots/, drawn
# offscreen (no display needed) with Latin, Japanese, Chinese and Cyrillic text. Needs
# qt6-base-dev and a CJK font (fonts-noto-cjk). BUILD_DIR overrides the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/screenshots}
out=docs/screenshots

scripts/setup.sh fonts-noto-cjk fontconfig

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDELTRIX_GUI=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target deltrix_gui_screenshots
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/tests/gui/qt/deltrix_gui_screenshots" "$out" 2> >(grep -v "does not support" >&2)
