#!/usr/bin/env bash
# The Windows programs' tests under Wine, after the Linux build: skipped with a message when
# the MinGW Qt SDK is not there.
set -euo pipefail
cd "$(dirname "$0")/.."
sdk=${TQ_QT_MINGW_ARCHIVE:-../shared/windows/qt6.4.2-mingw64.tar.xz}
if [ ! -f "$sdk" ]; then
  echo "Windows tests skipped: no Qt for Windows at $sdk"
  exit 0
fi
./scripts/build-windows.sh
ctest --test-dir build-win/x --output-on-failure --timeout 300
