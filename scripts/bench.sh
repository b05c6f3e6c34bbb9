#!/usr/bin/env bash
# The whole-run benchmark series (bench/README.md): builds the Release binaries, installs TagLib,
# strace and Python if missing, makes the trees it needs (kept in $BENCH_TREES, default
# /work/bench-trees or $TMPDIR/bench-trees, and reused), and prints the tables of
# bench/run/series.py: the timed table, the card's operations of each command (counted under
# strace, with a modelled USB 2.0 stick) and the targets, met or not.
#   scripts/bench.sh [--files N ...] [--rounds R] [--strace-files N] [--no-count]
# Defaults: --files 20000 --files 150000, 3 rounds after a warm-up, strace on a 2000-file tree.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
if [[ -z ${BENCH_TREES:-} ]]; then
  if [[ -d /work && -w /work ]]; then BENCH_TREES=/work/bench-trees; else BENCH_TREES=${TMPDIR:-/tmp}/bench-trees; fi
fi

"$root/scripts/setup.sh" libtag1-dev strace python3 pkg-config
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDELTRIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target deltrix-creator make_drive floor measure tags_only taglib_scan >/dev/null

exec python3 "$root/bench/run/series.py" --build "$build" --trees "$BENCH_TREES" "$@"
