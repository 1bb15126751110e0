#!/usr/bin/env bash
# check-completion.sh FILE: what the bash completion of tq-sensor offers at a few points.
set -uo pipefail
source "$1"
fail() { echo "FAIL: $*" >&2; exit 1; }
offers() { # offers "WORDS..." : the completions for the last word
    read -ra COMP_WORDS <<<"$1"; [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
    _tq_sensor; echo "${COMPREPLY[*]}"
}
[ "$(offers 'tq-sensor wr')" = write ] || fail "verb: $(offers 'tq-sensor wr')"
[ "$(offers 'tq-sensor write /dev/ttyUSB0 --set hy')" = hysteresis= ] || fail "field: $(offers 'tq-sensor write x --set hy')"
[ "$(offers 'tq-sensor calibrate ')" = "on off" ] || fail "state: $(offers 'tq-sensor calibrate ')"
[ "$(offers 'tq-sensor read --ou')" = --output ] || fail "option: $(offers 'tq-sensor read --ou')"
[ -z "$(offers 'tq-sensor write x --ou')" ] || fail "--output offered to write"
grep -q '^/dev/tty' <<<"$(offers 'tq-sensor find /dev/tty')" || [ -z "$(compgen -G '/dev/tty[A-Z]*')" ] || fail "ports"
echo "completion offers verbs, options, fields and ports"
