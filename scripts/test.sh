#!/usr/bin/env bash
# Sets up, builds and runs every test twice: a normal build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer, with the Debian package built from the first and checked as installed.
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
