#!/usr/bin/env bash
# Installs whatever the build needs and is missing (Debian 12).
set -euo pipefail
pkgs=(cmake g++ ninja-build pkg-config qt6-base-dev libqt6svg6 libgtest-dev libgmock-dev libsimpleini-dev fonts-dejavu-core
      desktop-file-utils appstream help2man dpkg-dev file lintian ser2net)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
