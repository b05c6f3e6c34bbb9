#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it (.clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cc' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Formatting differs: run  clang-format -i \$(git ls-files '*.cc' '*.h')" >&2
  exit 1
fi
