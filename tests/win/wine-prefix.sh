#!/usr/bin/env bash
# Makes the tests' Wine prefix once per build (COM1 mapped to a link the tests point at a
# pseudo-terminal) and the modem-line shim; "stop" ends the prefix's Wine server.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
if [ "${1:-}" = stop ]; then
  wineserver -k 2>/dev/null || true
  exit 0
fi
mkdir -p "$(dirname "$WINEPREFIX")"
cc -shared -fPIC -O2 -o "$TQ_SHIM" "$TQ_SOURCE/tests/win/modem-shim.c" -ldl
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$TQ_LINE" /f >/dev/null 2>&1
  wineserver -w
fi
ln -sfn /dev/null "$TQ_LINE"
echo "Wine prefix ready: $WINEPREFIX"
