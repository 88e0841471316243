#!/usr/bin/env bash
# Pack benchmark (run by hand, not a test):
#   bench/pack_bench.sh [--level N] [--method M] [--megabytes M]
# Makes about 300 MB (M) of mixed content in build/pack-bench: random data,
# text (the machine's headers and documents) and real program files (the
# MinGW runtime libraries), in files of many sizes. Packs it with the native
# tolvanex-build (deflate, like zip, or M; default level, or N) and with
# Info-ZIP `zip -r -6` in the
# same run, and prints wall and CPU times, their ratios and the size ratio;
# then the sizes of the i686 and x86_64 setup.exe and uninstall.exe of
# build/win32 and build/win64-product.
# Other work on the machine moves the times: the load is printed with them.
# TOLVANEX_BUILD_DIR names another folder for the build trees (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
level=()
method=deflate
megabytes=300
while [ $# -gt 0 ]; do
  case $1 in
    --level) level=(--level "$2"); shift 2 ;;
    --method) method=$2; shift 2 ;;
    --megabytes) megabytes=$2; shift 2 ;;
    *) echo "usage: $0 [--level N] [--method M] [--megabytes M]" >&2; exit 2 ;;
  esac
done
configure_tree native
cmake --build "$build/native" --target tolvanex-build >/dev/null
tool=$build/native/tools/builder/tolvanex-build
work=$build/pack-bench
content=$work/content
third=$((megabytes * 1024 * 1024 / 3))

# Copies the files listed on stdin into DIR until BYTES are there, renaming
# repeats, so that a short list still fills its share.
fill_from() {
  local dir=$1 bytes=$2 total=0 round=0 count=0 file size
  mkdir -p "$dir"
  mapfile -t files
  [ ${#files[@]} -gt 0 ] || { echo "no files for $dir" >&2; exit 1; }
  while [ "$total" -lt "$bytes" ]; do
    round=$((round + 1))
    for file in "${files[@]}"; do
      size=$(stat -c %s "$file")
      [ "$size" -gt 0 ] || continue
      mkdir -p "$dir/$round"
      count=$((count + 1))
      cp "$file" "$dir/$round/$count-$(basename "$file")"
      total=$((total + size))
      [ "$total" -lt "$bytes" ] || break
    done
  done
}

if [ ! -f "$work/content.$megabytes" ]; then
  rm -rf "$work"
  mkdir -p "$content/random"
  # Random files from 4 KiB to 16 MiB.
  total=0 n=0
  while [ "$total" -lt "$third" ]; do
    size=$((4096 << (n % 13))) n=$((n + 1))
    head -c "$size" /dev/urandom >"$content/random/r$n.bin"
    total=$((total + size))
  done
  find /usr/include /usr/share/doc /usr/share/common-licenses -type f \
    \( -name '*.h' -o -name '*.txt' -o -name 'copyright' -o -name 'README*' \) 2>/dev/null |
    LC_ALL=C sort | fill_from "$content/text" "$third"
  find /usr/lib/gcc/*mingw* /usr/x86_64-w64-mingw32/lib /usr/i686-w64-mingw32/lib -type f \
    \( -name '*.dll' -o -name '*.a' -o -name '*.o' \) 2>/dev/null |
    LC_ALL=C sort | fill_from "$content/programs" "$third"
  touch "$work/content.$megabytes"
fi
stub=$work/stub.exe
head -c 100000 /dev/zero >"$stub"

# Runs a command and prints "WALL CPU" in seconds.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }'
}

echo "content: $(du -sb "$content" | cut -f1) bytes in $(find "$content" -type f | wc -l) files"
echo "load before: $(uptime)"
rm -f "$work/setup.exe" "$work/content.zip"
read -r pack_wall pack_cpu < <(timed "$tool" pack --stub "$stub" --out "$work/setup.exe" \
  --method "$method" "${level[@]}" "$content")
read -r zip_wall zip_cpu < <(cd "$content" && timed zip -q -r -6 "$work/content.zip" .)
echo "load after:  $(uptime)"
payload=$(($(stat -c %s "$work/setup.exe") - $(stat -c %s "$stub")))
zipped=$(stat -c %s "$work/content.zip")
echo "processors: $(nproc)"
echo "pack $method ${level[*]:-(default level)}: wall ${pack_wall} s, CPU ${pack_cpu} s, payload $payload bytes"
echo "zip -r -6:   wall ${zip_wall} s, CPU ${zip_cpu} s, archive $zipped bytes"
awk -v pw="$pack_wall" -v zw="$zip_wall" -v pc="$pack_cpu" -v zc="$zip_cpu" \
  -v ps="$payload" -v zs="$zipped" 'BEGIN {
    printf "time ratio pack/zip: wall %.2f (target <= 0.6 on 2 cores), CPU %.2f\n", pw / zw, pc / zc
    printf "size ratio pack/zip: %.3f (target <= 1.0)\n", ps / zs }'
for product in win32:i686 win64-product:x86_64; do
  tree=${product%:*}
  for program in driver/setup.exe uninstall/uninstall.exe; do
    if [ -f "$build/$tree/$program" ]; then
      echo "${product#*:} $(basename "$program"): $(stat -c %s "$build/$tree/$program") bytes"
    else
      echo "${product#*:} $(basename "$program"): not built (scripts/build.sh builds build/$tree)"
    fi
  done
done
