#!/usr/bin/env bash
# Sets up, builds and runs the main job. With no argument it builds the library on a copy of the
# sample drive shipped in sample/drive and shows it; with a mount point (or any deltrix-creator
# arguments) it runs those, e.g.  scripts/run.sh /media/me/STICK
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDELTRIX_GUI=ON >/dev/null
cmake --build build/release -j"$(nproc)" --target deltrix-creator
bin=build/release/src/cli/deltrix-creator

if (($#)); then
  exec "$bin" "$@"
fi

drive=$(mktemp -d /tmp/deltrix-sample.XXXXXX)
cp -r sample/drive/. "$drive/"
echo "== Drives"
"$bin" drives
echo "== Building the library on a copy of the sample drive: $drive"
"$bin" create --folder "$drive" --yes
echo "== The library as the player shows it"
"$bin" show --folder "$drive"
echo "== Structural check"
"$bin" check --folder "$drive"
