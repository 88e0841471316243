#!/usr/bin/env bash
# The example installer, from nothing to an installed application: installs
# what is missing, builds, builds examples/build.ini into setup.exe and runs it under
# Wine. With a usable X display the wizard opens in a window for you to click
# through; without one (or with --headless) it runs in a private Xvfb while
# the robot takes the default path and screenshots every page. At the end it
# shows where the example was installed, its uninstall log and the pictures.
#   scripts/run-example.sh [--headless]
# TOLVANEX_BUILD_DIR names another folder for the build trees (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${TOLVANEX_BUILD_DIR:-$root/build}
out=$build/example
headless=no
[ "${1:-}" = "--headless" ] && headless=yes

"$root/scripts/install-deps.sh"

# The same build trees as scripts/build.sh, with only what the example needs.
echo "== building"
for tree in native win64 win32; do configure_tree "$tree"; done
programs=(setup uninstall beispiel beispieldienst)
cmake --build "$build/native" --target tolvanex-build >/dev/null
cmake --build "$build/win64" --target "${programs[@]}" tolvanex_robot tolvanex-build \
  tolvanex_builder_defaults >/dev/null
cmake --build "$build/win32" --target "${programs[@]}" >/dev/null

place_product_beside_builder

# The example's build script, built by the native builder: the product for
# 32-bit Windows, with the win32 tree's programs found beside the builder.
echo "== building the installer from examples/build.ini"
rm -rf "$out"
stage_example "$root" "$build/win32/examples" "$out/win32/stage"
"$build/native/tools/builder/tolvanex-build" build "$out/win32/stage/build.ini" \
  --out "$out/win32/setup.exe" --quiet

# A fresh prefix; its desktop is a folder of its own, not the home directory.
export WINEPREFIX=$out/wineprefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
wine_run() { "$root/scripts/wine-run" "$@"; }

display_works() {
  [ -n "${DISPLAY:-}" ] && xwd -root -silent -display "$DISPLAY" >/dev/null 2>&1
}
watcher_pid=
finish() {
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null || true
  wine_server -k >/dev/null 2>&1 || true
  stop_xvfb
}
trap finish EXIT
if [ "$headless" = no ] && ! display_works; then
  headless=yes
fi
if [ "$headless" = yes ]; then
  start_xvfb 160
  sleep 1
fi

echo "== preparing a Wine prefix in $WINEPREFIX"
wine_run cmd /c exit >/dev/null 2>&1 || true
# The same for the 64-bit Wine here, by the win64 tree's builder, which finds
# its own tree's programs beside it.
stage_example "$root" "$build/win64/examples" "$out/win64/stage"
wine_run "$build/win64/tools/builder/tolvanex-build.exe" build \
  "$(windows_path "$out/win64/stage/build.ini")" --out "$(windows_path "$out/win64/setup.exe")" \
  --quiet
desktop=$(wine_run cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')
desktop_dir=$(wine_run winepath -u "$desktop\\Desktop" 2>/dev/null)
if [ -L "$desktop_dir" ]; then
  rm "$desktop_dir" && mkdir "$desktop_dir"
fi

shots=$out/screenshots
if [ "$headless" = no ]; then
  echo "== running the example setup in a window: click through it yourself"
  wine_run "$out/win64/setup.exe" || true
else
  echo "== running the example setup headless on $DISPLAY; the robot clicks"
  # No window manager: Wine's windows need none to wait for.
  wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  mkdir -p "$shots"
  work=$out/robot
  mkdir -p "$work"
  watch_screenshot_requests "$work" "$shots" &
  watcher_pid=$!
  cat >"$work/default-path.robot" <<'STEPS'
start ${SETUP}
wait-window Setup 101
screenshot 1-welcome
click 1
wait-window Setup 107
click 1000
screenshot 2-licence
click 1
wait-window Setup 131
screenshot 3-readme
click 1
wait-window Setup 115
type 301 "Erika Muster"
type 302 "Beispiel GmbH"
screenshot 4-userinfo
click 1
wait-window Setup 117
screenshot 5-destination
click 1
wait-window Setup 120
screenshot 6-ready
click 1
wait-window Setup 122
screenshot 7-finish
click 1
wait-exit 0
STEPS
  wine_run "$build/win64/tests/robot/tolvanex_robot.exe" \
    --set "SETUP=$(windows_path "$out/win64/setup.exe")" --shot-dir "$(windows_path "$work")" \
    --transcript "$(windows_path "$out/robot-transcript.txt")" \
    "$(windows_path "$work/default-path.robot")" >/dev/null ||
    { echo "the robot failed; its transcript:"; cat "$out/robot-transcript.txt"; exit 1; }
fi

installed=$(realpath -m "$(wine_run winepath -u 'C:\Program Files\Tolvanex Beispiel' 2>/dev/null)")
echo
if [ ! -f "$installed/uninstall.log" ]; then
  echo "Nothing was installed (the setup was cancelled)."
  exit 0
fi
echo "Installed into C:\\Program Files\\Tolvanex Beispiel, on this machine:"
echo "  $installed"
(cd "$installed" && find . -type f | sed 's|^\./|    |' | sort)
echo
echo "Its uninstall log ($installed/uninstall.log):"
sed 's/\r$//; s/^/    /' "$installed/uninstall.log"
echo
echo "The product setup.exe for 32-bit Windows: $out/win32/setup.exe"
if [ "$headless" = yes ]; then
  echo "Screenshots of the run: $shots"
  ls "$shots" | sed 's/^/    /'
else
  echo "No screenshots: the wizard ran in a window on your display."
fi
