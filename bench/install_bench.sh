#!/usr/bin/env bash
# Install benchmark (run by hand, not a test):
#   bench/install_bench.sh [FILES [BYTES_PER_FILE]]     (default 2000 x 50000)
# Prints the size of the product setup.exe before any payload, then installs a
# payload of FILES application files under Wine (Xvfb, a private prefix, the
# robot confirming the pages) and times the installation from the ready
# page's confirmation (the uninstall log appears) to the finish page. The
# same payload is then extracted with tolvanex-build, under Wine and natively.
# TOLVANEX_BUILD_DIR names another folder for the build trees (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
files=${1:-2000}
size=${2:-50000}
work=$build/install-bench
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="

for tree in native win64 win32; do
  [ -f "$build/$tree/CMakeCache.txt" ] || { echo "build $build/$tree first (scripts/build.sh)"; exit 2; }
done
cmake --build "$build/native" --target tolvanex-build >/dev/null
cmake --build "$build/win64" --target setup tolvanex_robot tolvanex-build >/dev/null
cmake --build "$build/win32" --target setup >/dev/null

stub32=$build/win32/driver/setup.exe
bytes=$(stat -c %s "$stub32")
echo "setup.exe (i686, product, no payload): $bytes bytes = $((bytes / 1024)) KiB (target 96 KiB)"

echo "making $files files of $size bytes: half random, half text"
rm -rf "$work/data" "$work/extracted-wine" "$work/extracted-native"
mkdir -p "$work/data"
half=$((size / 2))
head -c $((files * half)) /dev/urandom | split -b "$half" -a 5 -d - "$work/data/r"
(yes "Tolvanex install benchmark: a line of compressible text." || true) | head -c $((size - half)) >"$work/text"
ini=$work/setup.ini
{
  printf '[main]\r\napptitle=Install Benchmark\r\ndestdir=C:\\bench\r\n'
  printf '[folders]\r\ncount=1\r\n1=%%%%INSTALLDIR%%%%data\r\n[files]\r\n'
  for ((i = 1; i <= files; i++)); do printf '%d=%%%%INSTALLDIR%%%%data\\%05d.bin\r\n' "$i" "$i"; done
} >"$ini"
items=(setup.ini="$ini" left.jpg="$root/resources/pictures/left.jpg" top.jpg="$root/resources/pictures/top.jpg")
for ((i = 1; i <= files; i++)); do
  piece=$(printf '%s/data/r%05d' "$work" $((i - 1)))
  cat "$piece" "$work/text" >"$piece.bin" && rm "$piece"
  items+=("file_$i=$piece.bin")
done
"$build/native/tools/builder/tolvanex-build" pack --stub "$build/win64/driver/setup.exe" \
  --out "$work/bench-setup.exe" "${items[@]}" >/dev/null
echo "payload: $(stat -c %s "$work/bench-setup.exe") bytes of setup.exe with $files files"

start_xvfb 200
finish() {
  wine_server -k >/dev/null 2>&1 || true
  stop_xvfb
}
trap finish EXIT
rm -rf "$WINEPREFIX"
"$root/scripts/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine_server -p >/dev/null 2>&1 || true
destination=$WINEPREFIX/drive_c/bench
rm -rf "$destination"

transcript=$work/transcript.txt
rm -f "$transcript"
cat >"$work/bench.robot" <<'STEPS'
timeout 600000
start ${SETUP}
wait-window Setup 101
click 1
wait-window Setup 117
click 1
wait-window Setup 120
click 1
wait-window Setup 122
click 1
wait-exit 0
STEPS
"$root/scripts/wine-run" "$build/win64/tools/robot/tolvanex_robot.exe" \
  --set "SETUP=$(windows_path "$work/bench-setup.exe")" --transcript "$(windows_path "$transcript")" \
  "$(windows_path "$work/bench.robot")" >/dev/null &
robot_pid=$!
now() { date +%s.%N; }
until [ -e "$destination/uninstall.log" ]; do sleep 0.02; done
started=$(now)
until grep -q "wait-window Setup 122  -> ok" "$transcript" 2>/dev/null; do sleep 0.02; done
ended=$(now)
wait "$robot_pid" || { cat "$transcript"; exit 1; }
installed=$(find "$destination/data" -type f | wc -l)
echo "install under Wine: $(awk "BEGIN { printf \"%.2f\", $ended - $started }") s from confirming the ready page to the finish page ($installed files)"

start=$(now)
"$root/scripts/wine-run" "$build/win64/tools/builder/tolvanex-build.exe" extract \
  "$(windows_path "$work/bench-setup.exe")" "$(windows_path "$work/extracted-wine")" >/dev/null
echo "tolvanex-build extract under Wine: $(awk "BEGIN { printf \"%.2f\", $(now) - $start }") s"
start=$(now)
"$build/native/tools/builder/tolvanex-build" extract "$work/bench-setup.exe" "$work/extracted-native" >/dev/null
echo "tolvanex-build extract natively: $(awk "BEGIN { printf \"%.2f\", $(now) - $start }") s"
