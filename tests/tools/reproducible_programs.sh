#!/usr/bin/env bash
# Two i686 product trees in different directories, built at different times,
# give byte-identical setup.exe and uninstall.exe: no link time and no build
# path in the programs. And they stay the size every installer pays for:
# setup.exe below 128 KiB, uninstall.exe no larger than setup.exe.
#   reproducible_programs.sh WORK_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib.sh"
work=$1
rm -rf "$work"
for tree in "$work/first" "$work/a/second/tree"; do
  TOLVANEX_BUILD_DIR=$tree configure_tree win32
  cmake --build "$tree/win32" -j2 --target setup uninstall >"$work/build.log" 2>&1 ||
    { cat "$work/build.log"; exit 1; }
  sleep 1 # a later second for the link time, were it written
done
status=0
for program in driver/setup.exe uninstall/uninstall.exe; do
  if ! cmp "$work/first/win32/$program" "$work/a/second/tree/win32/$program"; then
    echo "FAILED: $program differs between the two trees"
    status=1
  fi
done
setup_size=$(stat -c %s "$work/first/win32/driver/setup.exe")
uninstall_size=$(stat -c %s "$work/first/win32/uninstall/uninstall.exe")
echo "setup.exe $setup_size bytes, uninstall.exe $uninstall_size bytes"
if [ "$setup_size" -ge 131072 ] || [ "$uninstall_size" -gt "$setup_size" ]; then
  echo "FAILED: the programs grew past their bounds (a C++ runtime part linked in?)"
  status=1
fi
[ "$status" -ne 0 ] || rm -rf "$work"
exit "$status"
