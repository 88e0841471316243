#!/usr/bin/env bash
# How the builder's work grows with the number of files (run by hand, not a
# test):
#   bench/builder_scale_bench.sh [--limit SECONDS] [FILES ...]   (default 10000 40000 65000)
# For each count, makes a tree of that many small files (100 a folder) in
# build/scale-bench and a build script taking them with one [sources] glob,
# then times `check` of the script, `build`, `check` and `inspect` of the
# installer and `list`. Prints the wall times and, for each count after the
# first, the ratio of its times to the first count's beside the ratio of the
# counts: work that grows linearly keeps the first within 1.2 times the
# second. A step that takes longer than the limit (default 600 s) is cut
# and shown as ">LIMIT". Other work on the machine moves the times: the load
# is printed with them; "failed(N)" marks a step that ended with exit code N
# (for `check`, a code above 1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
limit=600
counts=()
while [ $# -gt 0 ]; do
  case $1 in
    --limit) limit=$2; shift 2 ;;
    [0-9]*) counts+=("$1"); shift ;;
    *) echo "usage: $0 [--limit SECONDS] [FILES ...]" >&2; exit 2 ;;
  esac
done
[ ${#counts[@]} -gt 0 ] || counts=(10000 40000 65000)
configure_tree native
cmake --build "$build/native" --target tolvanex-build tolvanex_builder_defaults >/dev/null
tool=$build/native/tools/builder/tolvanex-build
work=$build/scale-bench

# Seconds (three decimals) that a command takes, or ">LIMIT" when cut.
time_of() {
  local start end status=0
  start=$(date +%s.%N)
  timeout "$limit" "$@" >/dev/null 2>&1 || status=$?
  end=$(date +%s.%N)
  if [ "$status" -eq 124 ]; then
    echo ">$limit"
  elif [ "$status" -gt 1 ] || { [ "$status" -ne 0 ] && [ "$1" != "$tool" -o "$2" != check ]; }; then
    echo "failed($status)"
  else
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
  fi
}

make_tree() {
  local count=$1 dir=$2
  rm -rf "$dir"
  mkdir -p "$dir/app"
  python3 - "$dir/app" "$count" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    folder = os.path.join(root, "d%03d" % (i // 100))
    if i % 100 == 0:
        os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.txt" % i), "w") as f:
        f.write("file %d\n" % i)
PY
  # Stand-ins for the stub and the uninstaller: the payload is what is timed.
  echo stub >"$dir/stub.exe"
  echo uninstaller >"$dir/uninstall.exe"
  printf '%s\n' '[main]' 'apptitle=Scale' 'destdir=%%PROGRAMFILES%%Scale' '[build]' \
    'output=setup.exe' 'stub=stub.exe' 'uninstaller=uninstall.exe' '[sources]' 'count=1' '0_from=app/**' '0_to=%%INSTALLDIR%%' \
    >"$dir/build.ini"
}

steps=(check-script build check-installer inspect list)
declare -A seconds
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%8s' files
printf '%18s' "${steps[@]}"
echo
for count in "${counts[@]}"; do
  dir=$work/$count
  make_tree "$count" "$dir"
  seconds[$count,check-script]=$(time_of "$tool" check "$dir/build.ini")
  seconds[$count,build]=$(time_of "$tool" build "$dir/build.ini" --quiet)
  seconds[$count,check-installer]=$(time_of "$tool" check "$dir/setup.exe")
  seconds[$count,inspect]=$(time_of "$tool" inspect "$dir/setup.exe")
  seconds[$count,list]=$(time_of "$tool" list "$dir/setup.exe")
  printf '%8s' "$count"
  for step in "${steps[@]}"; do
    printf '%18s' "${seconds[$count,$step]}"
  done
  echo
done
first=${counts[0]}
for count in "${counts[@]:1}"; do
  printf 'ratio %s/%s = %.2f:' "$count" "$first" "$(awk -v a="$count" -v b="$first" 'BEGIN { print a / b }')"
  for step in "${steps[@]}"; do
    a=${seconds[$first,$step]} b=${seconds[$count,$step]}
    case "$a$b" in
      *'>'* | *failed*) printf ' %s n/a' "$step" ;;
      *) printf ' %s %.2f' "$step" "$(awk -v a="$a" -v b="$b" 'BEGIN { print (a > 0 ? b / a : 0) }')" ;;
    esac
  done
  echo
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
