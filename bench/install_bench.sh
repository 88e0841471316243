#!/usr/bin/env bash
# Install benchmark (run by hand, not a test):
#   bench/install_bench.sh [--stub SETUP.EXE] [--uninstaller UNINSTALL.EXE] [COUNTS...]
# For each count of application files (default 2000 8000) of 5,000 bytes, in
# nested folders of 100 files each as a real application has them, it builds
# an installer and, under Wine (Xvfb, a private prefix), runs it with /quiet
# and times the installation from the moment the uninstall log appears to the
# end of setup.exe, then `uninstall.exe /quiet`, then
# `tolvanex-build extract` of the same payload. It ends with the ratios the
# targets are about. --stub and --uninstaller measure other builds of the
# programs (x86_64) against the same payloads; by default those of build/win64.
# TOLVANEX_BUILD_DIR names another folder for the build trees (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
stub=$build/win64/driver/setup.exe
uninstaller=$build/win64/uninstall/uninstall.exe
counts=()
while [ $# -gt 0 ]; do
  case $1 in
    --stub) stub=$2; shift 2 ;;
    --uninstaller) uninstaller=$2; shift 2 ;;
    *) counts+=("$1"); shift ;;
  esac
done
[ ${#counts[@]} -gt 0 ] || counts=(2000 8000)
work=$build/install-bench
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="

for tree in native win64 win32; do
  [ -f "$build/$tree/CMakeCache.txt" ] || { echo "build $build/$tree first (scripts/build.sh)"; exit 2; }
done
cmake --build "$build/native" --target tolvanex-build >/dev/null
cmake --build "$build/win64" --target setup uninstall tolvanex-build >/dev/null
cmake --build "$build/win32" --target setup >/dev/null
bytes=$(stat -c %s "$build/win32/driver/setup.exe")
echo "setup.exe (i686, product, no payload): $bytes bytes = $((bytes / 1024)) KiB"

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
now() { date +%s.%N; }
seconds() { awk "BEGIN { printf \"%.2f\", $2 - $1 }"; }

# An installer of COUNT files in folders "Gruppe G\Ordner F" of 100 files.
make_installer() {
  local count=$1 data=$work/data-$1 ini=$work/setup-$1.ini
  local folders=$(((count + 99) / 100)) items=() i f
  rm -rf "$data" && mkdir -p "$data"
  (yes "Tolvanex install benchmark: a line of compressible text." || true) | head -c 2500 >"$work/text"
  head -c $((count * 2500)) /dev/urandom | split -b 2500 -a 5 -d - "$data/r"
  {
    printf '[main]\r\napptitle=Install Benchmark\r\ndestdir=C:\\bench\r\n[folders]\r\n'
    printf 'count=%d\r\n' $((folders + (folders + 9) / 10))
    local key=1
    for ((f = 0; f < folders; f++)); do
      if ((f % 10 == 0)); then printf '%d=%%%%INSTALLDIR%%%%Gruppe %d\r\n' $key $((f / 10)); key=$((key + 1)); fi
      printf '%d=%%%%INSTALLDIR%%%%Gruppe %d\\Ordner %d\r\n' $key $((f / 10)) "$f"
      key=$((key + 1))
    done
    printf '[files]\r\n'
    for ((i = 1; i <= count; i++)); do
      f=$(((i - 1) / 100))
      printf '%d=%%%%INSTALLDIR%%%%Gruppe %d\\Ordner %d\\datei %05d.bin\r\n' "$i" $((f / 10)) "$f" "$i"
    done
  } >"$ini"
  items=(setup.ini="$ini" left.jpg="$root/resources/pictures/left.jpg"
         top.jpg="$root/resources/pictures/top.jpg" uninstall.exe="$uninstaller")
  for ((i = 1; i <= count; i++)); do
    local piece
    piece=$(printf '%s/r%05d' "$data" $((i - 1)))
    cat "$piece" "$work/text" >"$piece.bin" && rm "$piece"
    items+=("file_$i=$piece.bin")
  done
  "$build/native/tools/builder/tolvanex-build" pack --stub "$stub" \
    --out "$work/setup-$count.exe" "${items[@]}" >/dev/null
}

# Nobody clicks: the measurement holds the installation alone.
run_installer() {
  local setup=$1 code=0
  "$root/scripts/wine-run" "$setup" /quiet &
  local program=$!
  until [ -e "$destination/uninstall.log" ]; do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.02
  done
  local started
  started=$(now)
  wait "$program" || code=$?
  install_seconds=$(seconds "$started" "$(now)")
  [ "$code" -eq 0 ] || { echo "setup.exe /quiet: exit $code (low 8 bits)"; exit 1; }
}

declare -A install uninstall extract
for count in "${counts[@]}"; do
  make_installer "$count"
  rm -rf "$destination" "$work/extracted"
  run_installer "$work/setup-$count.exe"
  install[$count]=$install_seconds
  installed=$(find "$destination" -name '*.bin' | wc -l)
  started=$(now)
  "$root/scripts/wine-run" 'C:\bench\uninstall.exe' /quiet || echo "uninstall.exe /quiet: exit $?"
  uninstall[$count]=$(seconds "$started" "$(now)")
  left=$(find "$destination" -name '*.bin' 2>/dev/null | wc -l)
  started=$(now)
  "$root/scripts/wine-run" "$build/win64/tools/builder/tolvanex-build.exe" extract \
    "$(windows_path "$work/setup-$count.exe")" "$(windows_path "$work/extracted")" >/dev/null
  extract[$count]=$(seconds "$started" "$(now)")
  echo "$count files: install ${install[$count]} s ($installed installed), uninstall ${uninstall[$count]} s ($left left), extract under Wine ${extract[$count]} s"
done
if [ -n "${install[8000]:-}" ]; then
  echo "install 8000 / extract 8000: $(awk "BEGIN { printf \"%.2f\", ${install[8000]} / ${extract[8000]} }") (target <= 1.5)"
fi
if [ -n "${install[8000]:-}" ] && [ -n "${install[2000]:-}" ]; then
  echo "install 8000 / install 2000: $(awk "BEGIN { printf \"%.2f\", ${install[8000]} / ${install[2000]} }") (target <= 4.5)"
  echo "uninstall 8000 / uninstall 2000: $(awk "BEGIN { printf \"%.2f\", ${uninstall[8000]} / ${uninstall[2000]} }") (target <= 4.5)"
fi
