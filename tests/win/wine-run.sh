#!/usr/bin/env bash
# Runs a Windows test program under the build's Wine prefix (ctest's emulator).
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
LD_PRELOAD="$TQ_SHIM" exec wine "$@"
