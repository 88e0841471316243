#!/usr/bin/env bash
# An installer built by tolvanex-build build from a tree of 300 files in 40
# nested folders (names with blanks and umlauts), installed by setup.exe with
# the robot in a Wine prefix of its own: every file at its target with its
# content, inspect --json naming exactly what the installation made, and
# uninstall.exe /quiet removing all of it.
# The environment names: E2E_DIR (work directory), WINE_RUN, BUILDER_EXE
# (with setup.exe, uninstall.exe and the pictures beside it), ROBOT_EXE,
# SERVICE_EXE; and DISPLAY.
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"

rm -rf "$E2E_DIR"
mkdir -p "$E2E_DIR/home"
export WINEPREFIX="$E2E_DIR/prefix" WINEDEBUG=-all HOME="$E2E_DIR/home"
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
destination='C:\Program Files\Tolvanex Baum'
destination_unix="$WINEPREFIX/drive_c/Program Files/Tolvanex Baum"
tree="$E2E_DIR/stage/Anwendung"

fail() {
  echo "FAILED: $*"
  exit 1
}
wine_run() { "$WINE_RUN" "$@"; }
finish() { wine_server -k >/dev/null 2>&1 || true; }
trap finish EXIT

# The tree: folder i lies in folder (i - 1) / 3; file j in folder j % 40.
folders=()
for i in $(seq 0 39); do
  if [ $((i % 2)) -eq 1 ]; then name=$(printf 'Ordner %02d ä' "$i"); else name=$(printf 'Teil ü%02d' "$i"); fi
  if [ "$i" -eq 0 ]; then folders+=("$name"); else folders+=("${folders[$(((i - 1) / 3))]}/$name"); fi
done
for j in $(seq 0 299); do
  file="${folders[$((j % 40))]}/$(printf 'Datei %03d ö.txt' "$j")"
  mkdir -p "$tree/$(dirname "$file")"
  printf 'Inhalt von %s\n' "$file" >"$tree/$file"
done
cp "$SERVICE_EXE" "$E2E_DIR/stage/dienst.exe"
cat >"$E2E_DIR/stage/build.ini" <<'SCRIPT'
[build]
output=setup.exe
[sources]
count=2
0_from=Anwendung/**
0_to=%%INSTALLDIR%%
1_from=dienst.exe
1_to=%%INSTALLDIR%%Dienst
[main]
apptitle=Tolvanex Baum
version=3.0
publisher=Tolvanex-Projekt
destdir=%%PROGRAMFILES%%Tolvanex Baum
[shell_folders]
count=1
0=%%PROGRAMS%%Tolvanex Baum
[shell_items]
count=1
0_dest=%%INSTALLDIR%%Dienst\dienst.exe
0_lnk=%%PROGRAMS%%Tolvanex Baum\Dienst.lnk
0_work=%%INSTALLDIR%%
[reg]
count=2
0_hkey=HKEY_CURRENT_USER
0_key=Software\Tolvanex Baum
1_hkey=HKEY_CURRENT_USER
1_key=Software\Tolvanex Baum
1_value=Pfad
1_std=%%INSTALLDIR%%
1_type=REG_SZ
[svc]
count=1
0_name=TolvanexBaum
0_displayname=Tolvanex Baumdienst
0_binpath="%%INSTALLDIR%%Dienst\dienst.exe" -dienst
0_type=WIN32_OWN_PROCESS
0_starttype=DEMAND_START
0_errortype=ERROR_NORMAL
SCRIPT

wine_run cmd /c exit >/dev/null 2>&1 || fail "creating the prefix"
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
started=$(date +%s%N)
wine_run "$BUILDER_EXE" build "$(windows_path "$E2E_DIR/stage/build.ini")" --quiet ||
  fail "building the installer"
echo "300-file installer: $(stat -c %s "$E2E_DIR/stage/setup.exe") bytes," \
  "built under Wine in $((($(date +%s%N) - started) / 1000000)) ms"
wine_run "$BUILDER_EXE" inspect "$(windows_path "$E2E_DIR/stage/setup.exe")" --json |
  tr -d '\r' >"$E2E_DIR/inspect.json" || fail "inspect"

printf '%s\n' "start $(windows_path "$E2E_DIR/stage/setup.exe")" \
  "wait-window Setup 101" "click 1" "wait-window Setup 117" "click 1" \
  "wait-window Setup 120" "click 1" "timeout 180000" "wait-window Setup 122" "click 1" \
  "wait-exit 0" >"$E2E_DIR/install.robot"
wine_run "$ROBOT_EXE" "$(windows_path "$E2E_DIR/install.robot")" >"$E2E_DIR/robot.txt" ||
  { cat "$E2E_DIR/robot.txt"; fail "installing"; }

# Every file at its target with its content.
(cd "$tree" && find . -type f) | while read -r file; do
  cmp -s "$tree/$file" "$destination_unix/$file" || fail "$file not installed as it was"
done
cmp -s "$SERVICE_EXE" "$destination_unix/Dienst/dienst.exe" || fail "dienst.exe not installed"

# What inspect names is what was made: the destination's folders and files,
# the shell folder and shortcut, the registry entries and the service.
appdata=$(wine_run cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
programs_unix=$(wine_run winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs" 2>/dev/null)
unix_path() {
  sed -e "s|%%INSTALLDIR%%|$destination_unix/|" -e "s|%%PROGRAMS%%|${programs_unix%/}/|" -e 's|\\|/|g'
}
jq -r '.folders[], .files[].target, .uninstaller' "$E2E_DIR/inspect.json" | unix_path |
  LC_ALL=C sort >"$E2E_DIR/named.txt"
{ find "$destination_unix" -mindepth 1 ! -name uninstall.log; } | LC_ALL=C sort >"$E2E_DIR/made.txt"
diff -u "$E2E_DIR/named.txt" "$E2E_DIR/made.txt" || fail "inspect and the installation differ"
[ "$(jq '.files | length' "$E2E_DIR/inspect.json")" = 301 ] || fail "inspect lists no 301 files"
while read -r path; do
  [ -e "$path" ] || fail "$path was not made"
done < <(jq -r '.shell_folders[], .shortcuts[].file' "$E2E_DIR/inspect.json" | unix_path)
registry_exists() { wine_run reg query "$1" ${2:+/v "$2"} >/dev/null 2>&1; }
while IFS=$'\t' read -r root path name; do
  registry_exists "$root\\$path" "$name" || fail "registry $root\\$path $name was not made"
done < <(jq -r '.registry[] | [.root, .path, .name] | @tsv' "$E2E_DIR/inspect.json")
service_key='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services'
for service in $(jq -r '.services[].name' "$E2E_DIR/inspect.json"); do
  registry_exists "$service_key\\$service" || fail "service $service was not made"
done
uninstall_key="HKEY_LOCAL_MACHINE\\$(jq -r '.uninstall_registration.path' "$E2E_DIR/inspect.json")"
registry_exists "$uninstall_key" || fail "no Uninstall registration"

# uninstall.exe /quiet leaves nothing of it.
wine_run "$destination\\uninstall.exe" /quiet || fail "uninstall.exe /quiet failed"
for _ in $(seq 300); do
  [ -e "$destination_unix" ] || break
  sleep 0.1
done
[ ! -e "$destination_unix" ] || fail "the destination is still there"
[ ! -e "$programs_unix/Tolvanex Baum" ] || fail "the shell folder is still there"
! registry_exists 'HKEY_CURRENT_USER\Software\Tolvanex Baum' || fail "the registry key is still there"
! registry_exists "$service_key\\TolvanexBaum" || fail "the service is still there"
! registry_exists "$uninstall_key" || fail "the Uninstall registration is still there"
finish
rm -rf "$E2E_DIR" # kept only when something failed
echo "passed"
