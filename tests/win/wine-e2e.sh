#!/usr/bin/env bash
# End-to-end runs of the Windows programs under Wine. COM1 of the prefix is a pseudo-terminal
# served by the Linux tq-sensor-sim; the same workflow runs with the Linux tq-sensor against
# a sensor of its own, and both must print the same and send the same request frames.
#   wine-e2e.sh sensor | line | window | paced
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
SIM="$TQ_HOST_BUILD/tools/tq-sensor-sim"
LINUX_CLI="$TQ_HOST_BUILD/tools/sensor-cli/tq-sensor"
WIN_CLI="$TQ_WIN_BUILD/tools/sensor-cli/tq-sensor.exe"
for f in "$SIM" "$LINUX_CLI" "$WIN_CLI"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "missing $f (build Linux and Windows first)"; exit 1; }
done
tmp=$(mktemp -d)
sims=()
cleanup() {
  for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# start_sim NAME [options]: a simulated sensor; its line's path in $SIM_PATH.
start_sim() {
  local name=$1; shift
  "$SIM" "$@" >"$tmp/$name.sim" 2>&1 &
  sims+=($!)
  for _ in $(seq 100); do
    SIM_PATH=$(head -n1 "$tmp/$name.sim" 2>/dev/null || true)
    [ -n "$SIM_PATH" ] && return 0
    sleep 0.05
  done
  echo "tq-sensor-sim did not start"; exit 1
}

# A program that hangs fails its test rather than the whole run.
wine_cli() { LD_PRELOAD="$TQ_SHIM" timeout 120 wine "$WIN_CLI" "$@"; }

# Trace lines without their time and port columns: direction, bytes, meaning.
frames() { tr -d '\r' <"$1" | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }'; }

# same_run NAME ARGS...: one workflow on both builds; "{port}" in ARGS is the port, and
# SIM_OPTIONS the sensor's options. Wine's console code page here has no Cyrillic letters and
# prints each as '?': the Linux output is compared in that form.
same_run() {
  local name=$1; shift
  start_sim "$name-linux" ${SIM_OPTIONS:-}
  local lpath=$SIM_PATH
  "$LINUX_CLI" "${@//\{port\}/$lpath}" --trace "$tmp/$name-linux.trace" >"$tmp/$name-linux.out" 2>&1 \
    && lrc=0 || lrc=$?
  start_sim "$name-win" ${SIM_OPTIONS:-}
  ln -sfn "$SIM_PATH" "$TQ_LINE"
  wine_cli "${@//\{port\}/COM1}" --trace "Z:$tmp/$name-win.trace" >"$tmp/$name-win.out" 2>&1 \
    && wrc=0 || wrc=$?
  LC_ALL=C sed -e "s#$lpath#PORT#g" -e 's/[\xD0\xD1][\x80-\xBF]/?/g' "$tmp/$name-linux.out" >"$tmp/a"
  tr -d '\r' <"$tmp/$name-win.out" | sed -e 's#COM1#PORT#g' >"$tmp/b"
  local ok=1
  [ "$lrc" = "$wrc" ] || { echo "$name: exit code $wrc under Wine, $lrc on Linux"; ok=0; }
  diff -u "$tmp/a" "$tmp/b" >"$tmp/d" || { echo "$name: output differs:"; cat "$tmp/d"; ok=0; }
  diff -u <(frames "$tmp/$name-linux.trace") <(frames "$tmp/$name-win.trace") >"$tmp/d" \
    || { echo "$name: exchange differs:"; cat "$tmp/d"; ok=0; }
  [ -s "$tmp/$name-win.trace" ] || { echo "$name: no exchange under Wine"; ok=0; }
  [ $ok = 1 ] && echo "$name: same output and frames ($(grep -c '>' "$tmp/$name-win.trace") requests)"
  [ $ok = 1 ]
}

# Line bytes of a trace at 10 bits each, in ms at 9600 baud.
ideal_ms() {
  tr -d '\r' <"$1" | awk '{ n = 0; for (i = 4; i <= NF && $i != "|"; ++i) if ($i != "-") ++n; total += n }
                          END { printf "%.0f", total * 10 * 1000 / 9600 }'
}

case "${1:-}" in
sensor)
  fail=0
  same_run read read '{port}' || fail=1
  same_run write write '{port}' --set work_inertia=12 --set hysteresis=1.5 --verify || fail=1
  same_run calibrate calibrate on '{port}' --time 200 --inert 3 || fail=1
  # A sensor that answers only the first request: no sensor, not a device gone.
  SIM_OPTIONS="--silent-after 1" same_run silent read '{port}' || fail=1
  exit $fail
  ;;
line)
  # The settings reach the line: the terminal's own view of them from the Linux side.
  start_sim probe
  ln -sfn "$SIM_PATH" "$TQ_LINE"
  fail=0
  check() { # ARGS... -- expected stty words
    local args=() want=()
    while [ "$1" != -- ]; do args+=("$1"); shift; done; shift
    want=("$@")
    mkfifo "$tmp/in"
    LD_PRELOAD="$TQ_SHIM" wine "$TQ_WIN_BUILD/tests/win/tq-line-probe.exe" COM1 "${args[@]}" \
      <"$tmp/in" >"$tmp/probe.out" 2>&1 &
    local probe=$!
    exec 9>"$tmp/in"
    for _ in $(seq 200); do grep -q open "$tmp/probe.out" 2>/dev/null && break; sleep 0.05; done
    local s
    s=$(stty -F "$SIM_PATH" -a 2>&1 || true)
    exec 9>&-
    wait $probe || true
    rm -f "$tmp/in"
    # Words as stty prints them, blank-separated, so that "cstopb" is not found in "-cstopb".
    s=" $(tr ';\r\n' '   ' <<<"$s $(cat "$tmp/probe.out")") "
    for w in "${want[@]}"; do
      if ! grep -qF -- " $w " <<<"$s"; then
        echo "line ${args[*]}: no '$w' in: $s $(cat "$tmp/probe.out")"; fail=1
      fi
    done
  }
  check 19200 8 N 2 -- open "speed 19200 baud" cs8 -parenb cstopb -crtscts
  check 4800 8 N 1 -- open "speed 4800 baud" -cstopb -crtscts
  # A pseudo-terminal keeps eight bits without parity whatever it is told: the settings'
  # read-back must refuse the open rather than leave the line on other framing.
  check 9600 7 E 1 -- "SetCommState function failed (Error: 87)" cs8 -parenb
  # The event thread and the reads of a port object.
  start_sim events
  ln -sfn "$SIM_PATH" "$TQ_LINE"
  TQ_WINE_LINE=1 LD_PRELOAD="$TQ_SHIM" timeout 60 wine "$TQ_WIN_BUILD/tests/win/tq_win_tests.exe" \
    --gtest_filter='WinLine.*' >"$tmp/line.out" 2>&1 || { cat "$tmp/line.out"; fail=1; }
  grep -q '\[  PASSED  \] 1 test' "$tmp/line.out" || { cat "$tmp/line.out"; fail=1; }
  exit $fail
  ;;
window)
  # The window on a virtual display of its own, reading a sensor that takes the line time.
  command -v Xvfb >/dev/null || { echo "no Xvfb (Debian package xvfb)"; exit 1; }
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
  [ -s "$tmp/display" ] || { echo "Xvfb did not start:"; cat "$tmp/xvfb.log"; exit 1; }
  start_sim window --pace --requests "$tmp/requests"
  ln -sfn "$SIM_PATH" "$TQ_LINE"
  DISPLAY=":$(head -n1 "$tmp/display")" TQ_WINE_REQUESTS="Z:$tmp/requests" LD_PRELOAD="$TQ_SHIM" \
    timeout 120 wine "$TQ_WIN_BUILD/tests/win/tq_win_window_tests.exe" >"$tmp/window.out" 2>&1 && rc=0 || rc=$?
  tr -d '\r' <"$tmp/window.out" | grep -v '^\(Xlib\|[0-9a-f]*:err\|[0-9a-f]*:fixme\)'
  [ $rc = 0 ] && grep -q '\[  PASSED  \] 3 tests' "$tmp/window.out"
  ;;
paced)
  # The read workflow against a sensor that takes the line time for every byte: the span of
  # the exchange in each trace (first request to last reply) against the bytes' line time.
  start_sim paced-linux --pace
  "$LINUX_CLI" read "$SIM_PATH" --trace "$tmp/lin.trace" >/dev/null
  start_sim paced-win --pace
  ln -sfn "$SIM_PATH" "$TQ_LINE"
  wine_cli read COM1 --trace "Z:$tmp/win.trace" >/dev/null
  span() { tr -d '\r' <"$1" | awk 'NR == 1 { first = $1 } { last = $1 } END { printf "%.0f", last - first }'; }
  ideal=$(ideal_ms "$tmp/win.trace"); lin=$(span "$tmp/lin.trace"); win=$(span "$tmp/win.trace")
  echo "paced read: ideal line time $ideal ms, Linux $lin ms ($(awk "BEGIN{printf \"%.2f\", $lin/$ideal}")x), Wine COM1 $win ms ($(awk "BEGIN{printf \"%.2f\", $win/$ideal}")x)"
  ;;
*)
  echo "usage: $0 sensor|line|window|paced"; exit 2 ;;
esac
