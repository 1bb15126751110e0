#!/usr/bin/env bash
# Installs whatever the build needs and is missing (Debian 12). qt6-serialport-dev serves only the
# cost benchmark as a yardstick; the build goes on without it.
set -euo pipefail
pkgs=(cmake g++ ninja-build pkg-config qt6-base-dev libqt6svg6 libgtest-dev libgmock-dev libsimpleini-dev qt6-serialport-dev fonts-dejavu-core
      desktop-file-utils appstream help2man dpkg-dev file lintian ser2net)
# The Windows programs: the cross compiler, Wine to test them, Xvfb for their window.
if [ -n "${TQ_WINDOWS:-}" ]; then
  pkgs+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
         qt6-base-dev-tools googletest wine wine64 xvfb gcc)
fi
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
