#!/usr/bin/env bash
# One library whichever system built it: builds the library of sample/drive with the Linux console
# and with the Windows console under Wine (--folder on a copy each), for every ID Tag Language, and
# compares the three library files byte for byte.
#
# Usage: compare_builds.sh LINUX_EXE WINDOWS_EXE. Needs WINEPREFIX (and a running wineserver).
#
# The track order is the order the drive lists its folders in. Wine lists a folder drive sorted
# without regard to case; a FAT card lists entries in the order they were written. So each copy
# is made on tmpfs, which lists the newest entry first, writing every folder's entries in reverse
# name order: then both systems see the same order, as they would on a card. The scan of both
# builds is compared first, so a machine whose tmpfs lists otherwise fails with that reason.
set -euo pipefail
linux_exe=$1
windows_exe=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /dev/shm/deltrix-identity.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Copies folder $1 to $2, entries in reverse case-insensitive name order.
ordered_copy() {
  mkdir "$2"
  local name
  while IFS= read -r name; do
    if [[ -d $1/$name ]]; then ordered_copy "$1/$name" "$2/$name"; else cp "$1/$name" "$2/$name"; fi
  done < <(ls -A "$1" | LC_ALL=C sort -f -r)
}

# The Windows path of a folder through Wine's Z: drive.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

ordered_copy "$here/sample/drive" "$work/scan-linux"
ordered_copy "$here/sample/drive" "$work/scan-windows"
"$linux_exe" scan --folder "$work/scan-linux" | sed "s|^$work/scan-linux/||" >"$work/linux.txt"
wine "$windows_exe" scan --folder "$(windows_path "$work/scan-windows")" |
  tr -d '\r' | sed 's|^.*\\scan-windows\\||; s|\\|/|g' >"$work/windows.txt"
if ! diff -u "$work/linux.txt" "$work/windows.txt"; then
  echo "The two builds list the copies in different orders: this machine's tmpfs does not list" \
    "the newest entry first, so the libraries cannot be compared." >&2
  exit 1
fi

failed=0
for language in Japanese Chinese English French German Italian Spanish Dutch Russian; do
  rm -rf "$work/linux" "$work/windows"
  ordered_copy "$here/sample/drive" "$work/linux"
  ordered_copy "$here/sample/drive" "$work/windows"
  "$linux_exe" create --folder "$work/linux" --language "$language" --yes >/dev/null 2>&1 ||
    { echo "$language: the Linux build failed" >&2; failed=1; continue; }
  wine "$windows_exe" create --folder "$(windows_path "$work/windows")" --language "$language" \
    --yes >/dev/null 2>&1 || { echo "$language: the Windows build failed" >&2; failed=1; continue; }
  for file in ZRBL.DB ZRDB.DB ZRTL.DB; do
    if ! cmp "$work/linux/KORVANE/LIBRARY/$file" "$work/windows/KORVANE/LIBRARY/$file"; then
      echo "$language: $file differs between the Linux and the Windows build" >&2
      failed=1
    fi
  done
done
((failed == 0)) && echo "Identity: the Linux and Windows builds wrote the same library in every language."
exit "$failed"
