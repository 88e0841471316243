#!/usr/bin/env bash
# The shipped 32-bit programs end to end: the i686 setup.exe with the example
# payload and the i686 uninstall.exe, under 32-bit Wine in a 64-bit prefix of
# their own, as on 64-bit Windows. setup.exe /quiet installs, the
# installation is checked, its QuietUninstallString removes it, and the
# prefix must be as before; then the robot walks the wizard's pages once and
# uninstall.exe's windows remove it again. Prints how long it took.
#   scripts/test-i686.sh [--x64]
# With --x64 the same run for the shipped 64-bit programs (the win64-product
# tree's), which need only 64-bit Wine and see Program Files and the
# registry's 64-bit view; its prefix and log are build/x64 and build/x64.log.
#
# Ends with 0 when it passed, 1 when it failed, 77 when this machine cannot
# run 32-bit programs (skipped, with the reason, in CI too: a lagging package
# mirror is no fault of a change). Needs the product tree and the win64 robot
# and builder; builds what is missing.
# TOLVANEX_I686_DISPLAY (TOLVANEX_X64_DISPLAY) is the first X display number
# to try (default 140, 190 with --x64).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
started=$SECONDS

if [ "${1:-}" = --x64 ]; then
  run=x64 tree=win64-product architecture=x64 bits=64
  display=${TOLVANEX_X64_DISPLAY:-190}
else
  run=i686 tree=win32 architecture=x86 bits=32
  display=${TOLVANEX_I686_DISPLAY:-140}
fi

if [ "$bits" = 32 ] && { ! reason=$("$root/scripts/install-wine32.sh" 2>&1 | tail -n 1) ||
  [ ! -x /usr/lib/wine/wine ]; }; then
  echo "i686: skipped: $reason"
  exit 77
fi

programs=(
  "$build/$tree/driver/setup.exe" "$build/$tree/uninstall/uninstall.exe"
  "$build/$tree/examples/beispiel.exe" "$build/$tree/examples/beispieldienst.exe"
  "$build/win64/tests/robot/tolvanex_robot.exe" "$build/win64/tools/builder/tolvanex-build.exe"
)
for program in "${programs[@]}"; do
  [ -f "$program" ] && continue
  configure_tree "$tree" && configure_tree win64 &&
    cmake --build "$build/$tree" --target setup uninstall beispiel beispieldienst >/dev/null &&
    cmake --build "$build/win64" --target tolvanex_robot tolvanex-build >/dev/null ||
    { echo "$run: failed: building the programs"; exit 1; }
  break
done

if [ "$bits" = 32 ]; then
  # The 32-bit programs start their 32-bit Wine (see scripts/wine-run); the
  # robot and the builder are the 64-bit ones in the same Wine server.
  export TOLVANEX_WINE32=yes
  # Where 32-bit programs run through qemu-user, each takes most of a minute
  # to start.
  export E2E_WAIT_MS=300000
else
  # Beside the other tests on a busy machine a window may be slow to come.
  export E2E_WAIT_MS=120000
fi
export E2E_BITS=$bits E2E_ARCHITECTURE=$architecture
export E2E_DIR=$build/$run
export WINE_RUN=$root/scripts/wine-run
export SETUP_EXE=${programs[0]} UNINSTALL_EXE=${programs[1]}
export ROBOT_EXE=${programs[4]} BUILDER_EXE=${programs[5]}
export SOURCE_DIR=$root PROGRAMS_DIR=$build/$tree/examples

start_xvfb "$display" || { echo "$run: failed: no X display"; exit 1; }
trap 'WINEPREFIX=$E2E_DIR/prefix wine_server -k >/dev/null 2>&1; stop_xvfb' EXIT
mkdir -p "$build"
log=$build/$run.log
e2e=$root/tests/uninstall/example_e2e.sh
result=passed
for step in create-prefix quiet windows remove-prefix; do
  # A failed run leaves its prefix for a look; the next run starts anew.
  bash "$e2e" "$step" >>"$log" 2>&1 || { result=failed; break; }
done
if [ "$result" = failed ]; then
  tail -n 40 "$log"
fi
echo "$run: $result in $((SECONDS - started)) s (log: $log)"
[ "$result" = passed ]
