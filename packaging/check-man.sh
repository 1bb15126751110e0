#!/usr/bin/env bash
# check-man.sh MANDIR: renders the man pages as `man` shows them and checks their layout: the
# headings at the top level, one SYNOPSIS line per usage form, the pages naming each other.
set -euo pipefail
dir=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
render() { MANWIDTH=100 MAN_KEEP_FORMATTING= man -l "$dir/$1.1.gz" 2>/dev/null | col -b; }

page=$(render tq-sensor)
headings=$(grep -E '^[A-Z][A-Z ]+$' <<<"$page" | tr '\n' '|')
[ "$headings" = "NAME|SYNOPSIS|DESCRIPTION|OPTIONS|EXAMPLES|REPORTING BUGS|SEE ALSO|" ] \
  || fail "tq-sensor(1) headings: $headings"
# Nothing of the page's own structure may end up nested as text.
grep -qE '^ +(NAME|SYNOPSIS)$' <<<"$page" && fail "a NAME or SYNOPSIS nested inside another section"
synopsis=$(sed -n '/^SYNOPSIS$/,/^DESCRIPTION$/p' <<<"$page" | grep -E '^ +tq-sensor ' | sed 's/^ *//')
[ "$(wc -l <<<"$synopsis")" = 5 ] || fail "SYNOPSIS has not one line per form: $synopsis"
for verb in ports find read write calibrate; do
  grep -q "^tq-sensor $verb" <<<"$synopsis" || fail "SYNOPSIS lacks $verb"
done
for sub in Commands: Fields: 'JSON output:' 'Exit status:'; do
  grep -qE "^   $sub\$" <<<"$page" || fail "tq-sensor(1) lacks the sub-section $sub"
done
grep -qE '^ +--version$' <<<"$page" || fail "tq-sensor(1) does not list --version"

for program in tq-configurator tq-sensor-sim; do
  render $program | sed -n '/^SEE ALSO$/,$p' | grep -q 'tq-sensor(1)' || fail "$program(1) SEE ALSO lacks tq-sensor(1)"
done
echo "man pages render with top-level headings and one SYNOPSIS line per form"
