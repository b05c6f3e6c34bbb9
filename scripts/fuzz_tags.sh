#!/usr/bin/env bash
# Builds the tag-reading fuzz target with clang and libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, seeds it with the tag fixtures and runs it.
#   scripts/fuzz_tags.sh [SECONDS]         (default 60)
# Environment: DELTRIX_FUZZ_BUILD (build folder, default build-tags-fuzz), FUZZ_JOBS (parallel
# fuzzing processes, default 1; more than 1 writes fuzz-N.log files into the build folder).
# New inputs gather in <build>/corpus; a crash, leak or timeout is written to <build>/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${DELTRIX_FUZZ_BUILD:-build-tags-fuzz}

# The project's warning list is GCC's; clang is told to pass over the options it does not know.
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDELTRIX_FUZZ=ON \
  -DDELTRIX_SANITIZE=ON -DCMAKE_CXX_FLAGS=-Wno-unknown-warning-option >/dev/null
cmake --build "$build" -j2 --target fuzz_read_tags

mkdir -p "$build/corpus" "$build/artifacts"
parallel=()
if [[ "${FUZZ_JOBS:-1}" -gt 1 ]]; then
  parallel=(-jobs="$FUZZ_JOBS" -workers="$FUZZ_JOBS")
fi
data=$PWD/tests/tags/data
target=$(cd "$build" && pwd)/tests/tags/fuzz_read_tags
cd "$build"
exec "$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "${parallel[@]}" -artifact_prefix=artifacts/ corpus "$data"
