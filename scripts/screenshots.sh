#!/usr/bin/env bash
# Renders every wizard page, the preparing dialog, the about box and the cancel
# confirmation under Xvfb and Wine into docs/screenshots/*.png. The robot
# drives the page host and asks for each picture through a request file; this
# script answers by cropping a capture of the X screen (xwd + ImageMagick).
#   scripts/screenshots.sh [BUILD_DIR]    (default build/win64, built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
build=${1:-$root/build/win64}
out=$root/docs/screenshots
cmake --build "$build" --target tolvanex_page_host tolvanex_robot >/dev/null

work=$(mktemp -d)
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-shots}
start_xvfb 150
watcher_pid=
finish() {
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}
trap finish EXIT
sleep 1

# Wine draws the window frames itself (there is no window manager), and the
# pages' font gets the metrics it has on Windows (6 x 13 pixel base units),
# for which the pictures are made (DejaVu Sans Condensed, from the Debian
# package fonts-dejavu-extra, has those metrics).
"$root/scripts/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$root/scripts/wine-run" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'MS Sans Serif' /d 'DejaVu Sans Condensed' /f >/dev/null 2>&1
# The caption buttons' glyphs come from Wine's own Marlett.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
wine_server -k 2>/dev/null || true

mkdir -p "$out"
watch_screenshot_requests "$work" "$out" &
watcher_pid=$!

cat >"$work/license.rtf" <<'RTF'
{\rtf1\ansi\deff0{\fonttbl{\f0 Arial;}}\fs18
{\b Lizenzvertrag f\'fcr Beispielanwendung}\par\par
1. Sie d\'fcrfen die Software auf beliebig vielen Computern installieren.\par
2. Die Software wird ohne Gew\'e4hrleistung geliefert.\par
3. \'c4nderungen an der Software sind erlaubt, sofern dieser Hinweis erhalten bleibt.\par}
RTF
cat >"$work/readme.rtf" <<'RTF'
{\rtf1\ansi\deff0{\fonttbl{\f0 Arial;}}\fs18
{\b Beispielanwendung 2.1}\par\par
Neu in dieser Version: schnellere Suche, gr\'f6\'dfere Symbole und eine \'fcberarbeitete Hilfe.\par}
RTF

host=$(windows_path "$build/tests/ui/tolvanex_page_host.exe")
cat >"$work/shots.robot" <<'STEPS'
start ${HOST} --set ApplicationTitle=Beispielanwendung --set DestinationDirectory=C:\Programme\Beispielanwendung --set "RegisteredUserName=Jürgen Müller" --set "RegisteredCompanyName=Müller & Söhne GmbH" --set DoneShowReadme=1 --set DoneShowLaunch=1 --file LicenceText=${WORK}\license.rtf --file ReadmeText=${WORK}\readme.rtf welcome licence readme userinfo destination ready finish
wait-window Setup 101
screenshot welcome
# Wine leaves a message box unpainted while it lies wholly over another
# window; the boxes open in the middle of the screen.
move-window 0 0
info
screenshot about
answer-msgbox ok
key escape
screenshot cancel
answer-msgbox no
click 1
wait-window Setup 107
click 1000
screenshot licence
click 1
wait-window Setup 131
screenshot readme
click 1
wait-window Setup 115
screenshot userinfo
click 1
wait-window Setup 117
screenshot destination
click 1
wait-window Setup 120
screenshot ready
click 1
wait-window Setup 122
screenshot finish
click 1
wait-exit 1
start ${HOST} --set ApplicationTitle=Beispielanwendung --set AppBytesTotal=409600 --progress 81920,81920 progress
wait-window Setup 121
screenshot progress
terminate
start ${HOST} --progress 6,15 preparing
wait-window Setup 130
screenshot preparing
terminate
STEPS

"$root/scripts/wine-run" "$build/tests/robot/tolvanex_robot.exe" --set "HOST=$host" \
  --set "WORK=$(windows_path "$work")" --shot-dir "$(windows_path "$work")" "$(windows_path "$work/shots.robot")"
ls "$out"
