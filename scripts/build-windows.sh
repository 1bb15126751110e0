#!/usr/bin/env bash
# Cross-builds the Windows programs (tq-configurator.exe, tq-sensor.exe and their tests) into
# build-win/x and packs build-win/x/tq-configurator-<version>-windows-x64.zip. Needs the
# MinGW Qt SDK archive (../shared/windows/qt6.4.2-mingw64.tar.xz, or $TQ_QT_MINGW_ARCHIVE);
# the Linux build (build/, or $TQ_BUILD_DIR) serves the Wine tests. Extra arguments go to
# cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
sdk=${TQ_QT_MINGW_ARCHIVE:-../shared/windows/qt6.4.2-mingw64.tar.xz}
if [ ! -f "$sdk" ]; then
  echo "build-windows: no Qt for Windows at $sdk" >&2
  exit 3
fi
TQ_WINDOWS=1 ./scripts/deps.sh
# The Linux build renders the pictures (Qt for Windows reads no SVG).
host=${TQ_BUILD_DIR:-build}
[ -f "$host/build.ninja" ] || cmake -S . -B "$host" -G Ninja >/dev/null
cmake --build "$host" --target tq-icon-png >/dev/null
root=build-win
if [ ! -f "$root/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  mkdir -p "$root"
  tar xJf "$sdk" -C "$root"
fi
cmake -S . -B "$root/x" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/$root/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DTQ_HOST_BUILD="$PWD/$host" "$@" >/dev/null
cmake --build "$root/x" -j"$(nproc)"
cmake --build "$root/x" --target windows-zip
