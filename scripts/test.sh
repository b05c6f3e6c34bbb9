#!/usr/bin/env bash
# Sets up, builds and runs every test twice, a normal build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the run and console tests under ThreadSanitizer. Warnings are
# errors in these builds (DELTRIX_WERROR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
scripts/check_format.sh

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDELTRIX_GUI=ON \
  -DDELTRIX_WERROR=ON >/dev/null
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"
# The Debian package from that build, unpacked and run from a temporary root.
scripts/package.sh build/release
scripts/test_windows.sh

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DDELTRIX_SANITIZE=ON -DDELTRIX_GUI=ON \
  -DDELTRIX_WERROR=ON >/dev/null
cmake --build build/asan -j"$jobs"
ctest --test-dir build/asan --output-on-failure -j"$jobs"

# ThreadSanitizer over the tests of a run's three threads and of the hosts that answer the worker.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DDELTRIX_TSAN=ON -DDELTRIX_WERROR=ON >/dev/null
cmake --build build/tsan -j"$jobs" --target deltrix_run_test deltrix_cli_test
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/run/deltrix_run_test
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/cli/deltrix_cli_test
