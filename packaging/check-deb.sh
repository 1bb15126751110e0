#!/usr/bin/env bash
# check-deb.sh BUILD APP_ID VERSION: builds the Debian packages from BUILD, lists them, unpacks
# them into a scratch root (never the system) and runs lintian.
set -euo pipefail
build=$1 id=$2 version=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; fail "cpack failed"; }
app=$(ls "$out"/tq-configurator_*.deb) || fail "no tq-configurator package"
dev=$(ls "$out"/libtqserial-dev_*.deb) || fail "no libtqserial-dev package"
for deb in "$app" "$dev"; do
  echo "== $(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Architecture Depends
  dpkg-deb --contents "$deb"
done

contents=$(dpkg-deb --contents "$app")
for f in ./usr/bin/tq-configurator ./usr/bin/tq-sensor-sim ./usr/share/applications/$id.desktop \
         ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg \
         ./usr/share/man/man1/tq-configurator.1.gz; do
  grep -q " $f\$" <<<"$contents" || fail "$f missing from the package"
done
dev_contents=$(dpkg-deb --contents "$dev")
grep -qE ' ./usr/lib/[a-z0-9_]+-linux-gnu[a-z]*/cmake/TQSerial/TQSerialConfig.cmake$' <<<"$dev_contents" || fail "no multiarch CMake package in $dev"
grep -qE ' ./usr/lib/[a-z0-9_]+-linux-gnu[a-z]*/pkgconfig/tqserial.pc$' <<<"$dev_contents" || fail "no multiarch pkg-config file in $dev"
# Computed from the binaries, not typed in: the Qt libraries must show up.
depends=$(dpkg-deb --field "$app" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends lacks the Qt libraries: $depends"
[ "$(dpkg-deb --field "$app" Version)" = "$version-1" ] || fail "wrong package version"

# The packaged (stripped) program still finds its version block.
dpkg-deb -x "$app" "$out/root"
got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$out/root/usr/bin/tq-configurator" --version)
[ "$got" = "tq-configurator $version" ] || fail "packaged tq-configurator --version printed '$got'"

command -v lintian >/dev/null || fail "lintian is not installed"
lintian --fail-on error --display-info --allow-root --suppress-tags-from-file /dev/null "$app" "$dev" >"$out/lintian.txt" 2>&1 \
  || { cat "$out/lintian.txt"; fail "lintian found errors"; }
cat "$out/lintian.txt"
# What a distribution build would have: hardening and the multiarch folders.
if grep -E 'hardening-no-|pkg-config-multi-arch|multiarch' "$out/lintian.txt"; then fail "lintian: hardening or multiarch tags"; fi
for deb in "$app" "$dev"; do echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"; done
