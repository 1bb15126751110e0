#!/usr/bin/env bash
# Builds everything and opens the configurator. Without TQ_PORT it starts the simulated
# sensor on a pseudo-terminal and opens the configurator on that port.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
dir=${TQ_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: run this from a desktop session (or under xvfb-run)." >&2
  exit 1
fi
if [ -n "${TQ_PORT:-}" ]; then
  exec "$dir/app/tq-configurator" "$TQ_PORT"
fi
log=$(mktemp)
"$dir/tools/tq-sensor-sim" --pace >"$log" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$log"' EXIT
# The simulator prints its port as its first line.
for _ in $(seq 50); do
  port=$(head -n 1 "$log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "${port:-}" ] || { echo "The simulated sensor did not start." >&2; exit 1; }
echo "Simulated sensor on $port"
"$dir/app/tq-configurator" "$port"
