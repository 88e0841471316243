#!/usr/bin/env bash
# The one test command: installs what is missing, builds every configuration,
# runs every test (natively, with sanitizers and fuzzers, and under Wine with
# a private prefix and a private X server) and ends with one summary line.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. "$root/scripts/lib.sh"

"$root/scripts/install-deps.sh" || { echo "0 passed, 1 failed"; exit 1; }
# Before any prefix is made: 32-bit Wine changes what a new prefix holds.
# When it cannot be had, the i686 run below says why.
"$root/scripts/install-wine32.sh" 2>/dev/null
"$root/scripts/build.sh" || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

# The shipped 32-bit programs, in a prefix and on an X display of their own,
# while the other configurations run.
"$root/scripts/test-i686.sh" >"$root/build/test-i686.out" 2>&1 &
i686_pid=$!

export WINEPREFIX="$root/build/wineprefix-test"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
start_xvfb 90
finish() {
  [ -n "$i686_pid" ] && kill "$i686_pid" 2>/dev/null
  wine_server -k >/dev/null 2>&1 || true
  stop_xvfb
}
trap finish EXIT

rm -rf "$WINEPREFIX"
"$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 || true
# Keep one server alive for the whole run: every program start is faster.
wine_server -p >/dev/null 2>&1 || true

passed=0
failed=0
for config in native sanitize win64; do
  echo "=== tests: $config"
  log="$root/build/$config/ctest.log"
  (cd "$root/build/$config" && ctest -j "${JOBS:-2}" --output-on-failure --timeout 900) 2>&1 | tee "$log"
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    grep -q 'No tests were found' "$log" && continue
    failed=$((failed + 1))
    continue
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done

echo "=== tests: i686"
wait "$i686_pid"
i686=$?
i686_pid=
cat "$root/build/test-i686.out"
skipped=
case $i686 in
  0) passed=$((passed + 1)) ;;
  77) skipped=", 1 skipped" ;;
  *) failed=$((failed + 1)) ;;
esac

echo "$passed passed, $failed failed$skipped"
[ "$failed" -eq 0 ]
