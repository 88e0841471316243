#!/usr/bin/env bash
# The shipped 32-bit programs end to end: the i686 setup.exe with the example
# payload and the i686 uninstall.exe, under 32-bit Wine in a 64-bit prefix of
# their own, as on 64-bit Windows. setup.exe /quiet installs, the
# installation is checked, its QuietUninstallString removes it, and the
# prefix must be as before; then the robot walks the wizard's pages once and
# uninstall.exe's windows remove it again. Prints how long it took.
#
# Ends with 0 when it passed, 1 when it failed, 77 when this machine cannot
# run 32-bit programs (skipped, with the reason, in CI too: a lagging package
# mirror is no fault of a change). Needs the
# win32 tree and the win64 robot and builder; builds what is missing.
# TOLVANEX_I686_DISPLAY is the first X display number to try (default 140).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
started=$SECONDS

if ! reason=$("$root/scripts/install-wine32.sh" 2>&1 | tail -n 1) ||
  [ ! -x /usr/lib/wine/wine ]; then
  echo "i686: skipped: $reason"
  exit 77
fi

programs=(
  "$build/win32/driver/setup.exe" "$build/win32/uninstall/uninstall.exe"
  "$build/win32/examples/beispiel.exe" "$build/win32/examples/beispieldienst.exe"
  "$build/win64/tests/robot/tolvanex_robot.exe" "$build/win64/tools/builder/tolvanex-build.exe"
)
for program in "${programs[@]}"; do
  [ -f "$program" ] && continue
  configure_tree win32 && configure_tree win64 &&
    cmake --build "$build/win32" --target setup uninstall beispiel beispieldienst >/dev/null &&
    cmake --build "$build/win64" --target tolvanex_robot tolvanex-build >/dev/null ||
    { echo "i686: failed: building the programs"; exit 1; }
  break
done

# The 32-bit programs start their 32-bit Wine (see scripts/wine-run); the
# robot and the builder are the 64-bit ones in the same Wine server.
export TOLVANEX_WINE32=yes
export E2E_BITS=32
# Where 32-bit programs run through qemu-user, each takes most of a minute
# to start.
export E2E_WAIT_MS=300000
export E2E_DIR=$build/i686
export WINE_RUN=$root/scripts/wine-run
export SETUP_EXE=${programs[0]} UNINSTALL_EXE=${programs[1]}
export ROBOT_EXE=${programs[4]} BUILDER_EXE=${programs[5]}
export SOURCE_DIR=$root PROGRAMS_DIR=$build/win32/examples

start_xvfb "${TOLVANEX_I686_DISPLAY:-140}" || { echo "i686: failed: no X display"; exit 1; }
trap 'WINEPREFIX=$E2E_DIR/prefix wine_server -k >/dev/null 2>&1; stop_xvfb' EXIT
mkdir -p "$build"
log=$build/i686.log
e2e=$root/tests/uninstall/example_e2e.sh
result=passed
for step in create-prefix quiet windows remove-prefix; do
  # A failed run leaves its prefix for a look; the next run starts anew.
  bash "$e2e" "$step" >>"$log" 2>&1 || { result=failed; break; }
done
if [ "$result" = failed ]; then
  tail -n 40 "$log"
fi
echo "i686: $result in $((SECONDS - started)) s (log: $log)"
[ "$result" = passed ]
