#!/usr/bin/env bash
# check-install.sh BUILD SOURCE APP_ID VERSION PROGRAM...: installs BUILD into a scratch root
# and checks the result as a user and as a developer would meet it.
set -euo pipefail
build=$1 src=$2 id=$3 version=$4
shift 4
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr/local >/dev/null
prefix=$root/usr/local
fail() { echo "FAIL: $*" >&2; exit 1; }

for program in "$@"; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program not installed"
  [ -s "$prefix/share/man/man1/$program.1.gz" ] || fail "no man page for $program"
done
for f in applications/$id.desktop metainfo/$id.metainfo.xml icons/hicolor/scalable/apps/$id.svg \
         icons/hicolor/48x48/apps/$id.png icons/hicolor/256x256/apps/$id.png; do
  [ -s "$prefix/share/$f" ] || fail "share/$f not installed"
done

# The installed program answers without a display.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tq-configurator" --version) \
  || fail "tq-configurator --version failed"
[ "$out" = "tq-configurator $version" ] || fail "tq-configurator --version printed '$out'"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tq-configurator" --help | grep -q 'PORT' \
  || fail "tq-configurator --help failed"
echo "installed tq-configurator --version: $out"

# No installed header reaches for one that stays behind: every include of ours resolves inside
# this tree, and all of them compile with nothing but it.
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name tqserial.pc)")
cflags=$(pkg-config --cflags tqserial-widgets) || fail "pkg-config cannot resolve tqserial-widgets"
include=$prefix/include/tqserial
headers=$(cd "$include" && find . -name '*.h' | sed 's#^\./##' | sort)
[ -n "$headers" ] || fail "no public headers installed"
for wanted in $(cd "$include" && grep -ho '#include "serial/[^"]*"' $headers | sed 's/.*"\(.*\)"/\1/' | sort -u); do
  [ -f "$include/$wanted" ] || fail "an installed header includes $wanted, which is not installed"
done
printf '#include <%s>\n' $headers | ${CXX:-c++} -std=c++20 -fsyntax-only -x c++ $cflags - \
  || fail "the installed headers do not compile against the installed tree"
# Private headers are named *_p.h and the backend folders stay behind; the device-layer seam
# that SetBackend takes is public.
leaked=$(cd "$include" && find . -name '*_p.h' -o -name unix)
[ -z "$leaked" ] || fail "private headers installed: $leaked"
for h in ComPort.h ComBackend.h store/ComIniFile.h widgets/ComComboBox.h; do
  [ -f "$include/serial/$h" ] || fail "public $h not installed"
done

# The example builds against the installed package, with CMake and with pkg-config.
cmake -S "$src/examples/echo-line" -B "$root/example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null \
  || fail "the example does not configure against the installed package"
cmake --build "$root/example" >/dev/null || fail "the example does not build against the installed package"
[ -x "$root/example/tq-echo-line" ] || fail "the example was not built"
${CXX:-c++} -std=c++20 "$src/examples/echo-line/main.cpp" -o "$root/echo-line-pc" \
  $(pkg-config --cflags --libs tqserial) || fail "the example does not build with pkg-config"
"$root/example/tq-echo-line" 2>/dev/null && fail "the example accepted no port"
echo "example built against $prefix with CMake and pkg-config"

# The CMake package is relocatable: no path of this machine or this install in it, and a copy
# moved to another prefix serves the serial part alone without Qt Widgets being asked for.
cmakedir=$(dirname "$(find "$prefix" -name TQSerialConfig.cmake)")
case $cmakedir in "$prefix"/lib/*-linux-gnu*/cmake/TQSerial) ;; *) fail "CMake package not in the multiarch folder: $cmakedir" ;; esac
if grep -rlE "$root|$build|/usr/lib/[^ \"]*\.(so|a)" "$cmakedir"; then fail "the CMake package names absolute paths"; fi
moved=$root/elsewhere/opt
mkdir -p "$moved" && cp -a "$prefix/." "$moved/" && rm -rf "$prefix"
cat >"$root/serial-only.cmake" <<'CM'
cmake_minimum_required(VERSION 3.25)
project(serial-only LANGUAGES CXX)
find_package(TQSerial REQUIRED COMPONENTS Serial)
if(TARGET TQSerial::Widgets OR Qt6Widgets_FOUND)
  message(FATAL_ERROR "the Serial component pulled in Qt Widgets")
endif()
add_executable(tq-echo-line ${SRC}/main.cpp)
set_target_properties(tq-echo-line PROPERTIES CXX_STANDARD 20)
target_link_libraries(tq-echo-line PRIVATE TQSerial::Serial)
CM
mkdir -p "$root/serial-only" && cp "$root/serial-only.cmake" "$root/serial-only/CMakeLists.txt"
cmake -S "$root/serial-only" -B "$root/serial-only/build" -G Ninja -DCMAKE_PREFIX_PATH="$moved" \
  -DSRC="$src/examples/echo-line" >/dev/null || fail "the moved package does not configure"
cmake --build "$root/serial-only/build" >/dev/null || fail "the moved package does not build"
echo "the CMake package moved to $moved builds the serial part alone"

# Uninstalling takes every file back and the folders of ours; the shared ones stay.
mv "$moved" "$prefix" && rmdir "$root/elsewhere"
arch=$(basename "$(dirname "$(dirname "$cmakedir")")")
DESTDIR=$root cmake -DMANIFEST="$build/install_manifest.txt" -DPREFIX=/usr/local -DARCH="$arch" \
  -P "$src/cmake/Uninstall.cmake" >/dev/null
[ -z "$(find "$root/usr" -not -type d)" ] || fail "uninstall left files: $(find "$root/usr" -not -type d)"
left=$(cd "$prefix" && find . -mindepth 1 -type d | sort | tr '\n' ' ')
[ "$left" = "./bin ./include ./lib ./lib/$arch ./share ./share/applications ./share/bash-completion ./share/bash-completion/completions ./share/doc ./share/icons ./share/icons/hicolor ./share/man ./share/man/man1 ./share/metainfo " ] \
  || fail "uninstall left these folders: $left"
echo "uninstall removed every file and its own folders"
