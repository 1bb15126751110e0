#!/usr/bin/env bash
# Builds everything and opens the configurator. Without TQ_PORT it starts the simulated
# sensor on a pseudo-terminal and opens the configurator on that port.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
dir=${TQ_BUILD_DIR:-build}
if [ -n "${TQ_PORT:-}" ]; then
  exec "$dir/app/tq-configurator" "$TQ_PORT"
fi
fifo=$(mktemp -u); mkfifo "$fifo"
"$dir/tools/tq-sensor-sim" --pace >"$fifo" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r port <"$fifo"
echo "Simulated sensor on $port"
"$dir/app/tq-configurator" "$port"
