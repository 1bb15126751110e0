#!/usr/bin/env bash
# Configures and builds into build/ (or $TQ_BUILD_DIR); extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
dir=${TQ_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
