#!/usr/bin/env bash
# The Windows build, tested under Wine: cross-builds everything the Windows build has (the core,
# the front-ends and the tests that need no display) with MinGW-w64, runs the tests through ctest
# in a Wine prefix made for the run, checks the console on real Wine drives, compares Windows'
# code-page answers with the recorded table, and compares the libraries the Linux and Windows
# builds write (tests/identity). Uses the Linux build in build/release (built here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
jobs=$(nproc)
export CCACHE_BASEDIR=$PWD
launchers=()
command -v ccache >/dev/null &&
  launchers=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

scripts/windows_deps.sh build/windows-deps
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDELTRIX_WINDOWS_DEPS="$PWD/build/windows-deps" \
  -DGTest_DIR="$PWD/build/windows-deps/lib/cmake/GTest" "${launchers[@]}" >/dev/null
cmake --build build/windows -j"$jobs"
[[ -f build/release/CMakeCache.txt ]] ||
  cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launchers[@]}" >/dev/null
cmake --build build/release -j"$jobs" --target deltrix-creator
echo "Windows build: $((SECONDS - start)) s"

# A Wine prefix of our own, with a persistent server so each program starts in a fraction of a
# second.
tmp=$(mktemp -d)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
wineserver -p
wine wineboot -i >/dev/null 2>&1
# Drives: E: a folder (Wine reports it as NTFS), F: a folder typed as a floppy, labelled CARD,
# and Q: left unmapped. A drive type takes effect when the server starts again.
mkdir -p "$tmp/drive-e/Music" "$tmp/drive-f"
printf 'CARD' >"$tmp/drive-f/.windows-label"
ln -sfn "$tmp/drive-e" "$WINEPREFIX/dosdevices/e:"
ln -sfn "$tmp/drive-f" "$WINEPREFIX/dosdevices/f:"
rm -f "$WINEPREFIX/dosdevices/q:"
wine reg add 'HKLM\Software\Wine\Drives' /v f: /t REG_SZ /d floppy /f >/dev/null 2>&1
# The native dialogs' tests need a window system: Wine's null graphics driver gives one without a
# display.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
wineserver -k
wineserver -w
wineserver -p
# Start Wine's own background processes now, away from ctest's pipes: a process that inherits a
# pipe and lives on would keep ctest waiting for it to close.
wine wineboot >/dev/null 2>&1
export DELTRIX_WINE_DRIVES=EFQ
echo "Wine prefix ready: $((SECONDS - start)) s"

ctest --test-dir build/windows --output-on-failure -j"$jobs"

# The console on those drives: a folder drive is refused (6), the floppy is listed with its label.
exe=build/windows/src/cli/deltrix-creator.exe
status=0
wine "$exe" create 'E:\' --yes >/dev/null 2>&1 || status=$?
if ((status != 6)); then
  echo "create E:\\ on a folder drive ended with $status, not 6" >&2
  exit 1
fi
wine "$exe" drives | tr -d '\r' | grep -q '^F:\\ \[CARD\] ' ||
  { echo "drives does not list F: with its label" >&2; wine "$exe" drives; exit 1; }

# Code pages: Windows' answers are the table the POSIX codec is held to.
wine build/windows/tests/codepages/deltrix_codepage_dump.exe "$(printf 'Z:%s' "${tmp//\//\\}")\\codepages.txt"
cmp "$tmp/codepages.txt" tests/codepages/data/windows_codepages.txt ||
  { echo "Windows' code pages differ from tests/codepages/data/windows_codepages.txt" >&2; exit 1; }

tests/identity/compare_builds.sh build/release/src/cli/deltrix-creator "$exe"
echo "Windows tests passed in $((SECONDS - start)) s"
