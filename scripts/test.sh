#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh "$@"
dir=${TQ_BUILD_DIR:-build}
# Only used by -DTQ_SANITIZE=thread builds: hand-overs inside Qt the tool cannot see.
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp ${TSAN_OPTIONS:-}"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure --timeout 300 -j"$(nproc)"
./scripts/test-windows.sh
