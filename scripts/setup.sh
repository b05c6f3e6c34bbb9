#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev libfmt-dev qt6-base-dev clang-format)
# Packaging: manual pages, the .deb with its dependencies, and the checks of what it installs.
packages+=(help2man dpkg-dev file lintian appstream desktop-file-utils bash-completion)
packages+=(g++-mingw-w64-x86-64-posix wine wine64)  # the Windows build, tested under Wine
packages+=("$@")  # extra packages a caller needs (the screenshot and benchmark scripts)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
