#!/usr/bin/env bash
# Two product trees of each architecture in different directories, built at
# different times, give byte-identical setup.exe and uninstall.exe: no link
# time and no build path in the programs. And they stay the size every
# installer pays for: each setup.exe below 128 KiB (the x86_64 one measures
# about as large as the i686 one: its longer code and unwind tables are made
# up by the leaner 64-bit runtime startup), each uninstall.exe no larger than
# its setup.exe.
#   reproducible_programs.sh WORK_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib.sh"
work=$1
rm -rf "$work"
mkdir -p "$work"
status=0
# TREE SETUP_BOUND_BYTES
for product in "win32 131072" "win64-product 131072"; do
  read -r tree bound <<<"$product"
  for base in "$work/first" "$work/a/second/tree"; do
    TOLVANEX_BUILD_DIR=$base configure_tree "$tree"
    cmake --build "$base/$tree" -j2 --target setup uninstall >"$work/build.log" 2>&1 ||
      { cat "$work/build.log"; exit 1; }
    sleep 1 # a later second for the link time, were it written
  done
  for program in driver/setup.exe uninstall/uninstall.exe; do
    if ! cmp "$work/first/$tree/$program" "$work/a/second/tree/$tree/$program"; then
      echo "FAILED: $tree $program differs between the two trees"
      status=1
    fi
  done
  setup_size=$(stat -c %s "$work/first/$tree/driver/setup.exe")
  uninstall_size=$(stat -c %s "$work/first/$tree/uninstall/uninstall.exe")
  echo "$tree: setup.exe $setup_size bytes, uninstall.exe $uninstall_size bytes"
  if [ "$setup_size" -ge "$bound" ] || [ "$uninstall_size" -gt "$setup_size" ]; then
    echo "FAILED: the $tree programs grew past their bounds (a C++ runtime part linked in?)"
    status=1
  fi
done
[ "$status" -ne 0 ] || rm -rf "$work"
exit "$status"
