#!/usr/bin/env bash
# Builds the Debian package of the console front-end and the window, then checks what it installs:
# the package is unpacked into a temporary root (dpkg -x), its deltrix-creator shows its version
# and creates a library on a copy of the sample drive, the manual pages render every option, and
# the AppStream metainfo and lintian are asked where they are installed (lintian errors fail).
#   scripts/package.sh            -> build/package/deltrix-creator_<version>_<arch>.deb (Release)
#   scripts/package.sh BUILD_DIR  -> the same from a build folder already in use (the test command's)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=${1:-build/package}
if [[ ! -f $dir/CMakeCache.txt ]]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DDELTRIX_TESTS=OFF >/dev/null
fi
cmake -S . -B "$dir" -DDELTRIX_GUI=ON >/dev/null
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/deltrix-creator_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/deltrix-creator_*.deb)

root=$(mktemp -d /tmp/deltrix-package.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root/install"
bin=$root/install/usr/bin
share=$root/install/usr/share
fail() {
  echo "package: $*" >&2
  exit 1
}

expected=(
  usr/bin/deltrix-creator
  usr/bin/deltrix-creator-gui
  usr/share/man/man1/deltrix-creator.1.gz
  usr/share/man/man1/deltrix-creator-gui.1.gz
  usr/share/bash-completion/completions/deltrix-creator
  usr/share/applications/deltrix-creator-gui.desktop
  usr/share/metainfo/org.deltrix.Creator.metainfo.xml
  usr/share/doc/deltrix-creator/copyright
  usr/share/doc/deltrix-creator/changelog.gz
)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/deltrix-creator-gui.png")
done
for file in "${expected[@]}"; do
  [[ -f $root/install/$file ]] || fail "$file is missing"
done

# The installed program runs from there: its version, and a create on a copy of the sample drive.
version=$("$bin/deltrix-creator" --version)
[[ $version == "$(sed -n 's/^project(deltrix_creator VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ]] ||
  fail "deltrix-creator --version says '$version'"
cp -r sample/drive "$root/card"
"$bin/deltrix-creator" create --folder "$root/card" --yes >/dev/null || fail "create failed"
"$bin/deltrix-creator" check --folder "$root/card" >/dev/null || fail "check failed"
"$bin/deltrix-creator-gui" --version >/dev/null || fail "deltrix-creator-gui --version failed"

# Every option of every command is on the rendered manual page.
manual=$(MANWIDTH=200 man -l "$share/man/man1/deltrix-creator.1.gz" 2>/dev/null)
for option in $("$bin/deltrix-creator" --help-all | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
  grep -qe "$option" <<<"$manual" || fail "the manual page lacks $option"
done
MANWIDTH=200 man -l "$share/man/man1/deltrix-creator-gui.1.gz" 2>/dev/null | grep -q -- --version ||
  fail "the window's manual page lacks --version"

if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$share/metainfo/org.deltrix.Creator.metainfo.xml" >/dev/null ||
    fail "the AppStream metainfo does not validate"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$share/applications/deltrix-creator-gui.desktop" ||
    fail "the desktop entry does not validate"
fi
if command -v lintian >/dev/null; then
  report=$(lintian --allow-root "$deb" || true)
  [[ -n $report ]] && echo "$report"
  grep -q '^E: ' <<<"$report" && fail "lintian reports errors"
fi
echo "$deb: $(du -k "$deb" | cut -f1) KiB, installed $(du -sk "$root/install" | cut -f1) KiB"
