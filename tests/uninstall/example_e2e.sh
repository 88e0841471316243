#!/usr/bin/env bash
# The example installation removed by uninstall.exe, in a Wine prefix of its
# own: after setup.exe and uninstall.exe the prefix must be as it was before,
# its files, its registry (services included) alike.
#
#   example_e2e.sh create-prefix | remove-prefix | SCENARIO
#
# Scenarios: quiet, windows, user-file, files-gone, second-install,
# hostile-log.
# The environment names the programs: E2E_DIR (work directory, holds the
# prefix), WINE_RUN, SETUP_EXE, BUILDER_EXE, ROBOT_EXE, UNINSTALL_EXE,
# APP_EXE, SERVICE_EXE, EXAMPLE_DIR, PICTURES_DIR, ROBOT_DIR; and DISPLAY.
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"

export WINEPREFIX="$E2E_DIR/prefix"
export WINEDEBUG=-all
# The prefix's desktop and document folders lead into the home directory, and
# Wine's menu builder writes beside them: both stay inside the work directory.
export HOME="$E2E_DIR/home"
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
destination='C:\Program Files\Tolvanex Beispiel'
destination_unix="$WINEPREFIX/drive_c/Program Files/Tolvanex Beispiel"
example_setup="$E2E_DIR/example-setup.exe"

fail() {
  echo "FAILED: $*"
  exit 1
}

wine_run() { "$WINE_RUN" "$@"; }

# Ends the prefix's session; the next program starts a new one, which, like a
# restart, carries out the renames and deletions scheduled for it.
end_session() {
  wine_server -w || true
}

restart() {
  end_session
  wine_run cmd /c exit >/dev/null 2>&1 || true
}

# The export of a registry tree as sorted-free UTF-8 text without what Wine
# renews in every session: the display adapter's key and its dates.
export_registry() {
  local file="$E2E_DIR/export.reg"
  wine_run reg export "$1" "$(windows_path "$file")" /y >/dev/null 2>&1 ||
    fail "reg export $1"
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | awk '
    /^\[/ { skip = index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\") == 1 }
    /^"DriverDateData"=/ { next }
    !skip { gsub(/\{[0-9a-fA-F-]{36}\}/, "{GUID}"); print }'
  rm -f "$file"
}

# Files with their sizes (the home directory's too), and the registry, after
# a restart.
snapshot() {
  restart
  {
    echo "== files"
    (cd "$E2E_DIR" && find prefix/drive_c home -printf '%y %s %p\n' | LC_ALL=C sort)
    echo "== registry"
    export_registry HKEY_LOCAL_MACHINE
    export_registry HKEY_USERS
  } >"$1"
}

expect_same_snapshot() {
  snapshot "$E2E_DIR/after.txt"
  if ! diff -u "$E2E_DIR/before.txt" "$E2E_DIR/after.txt" >"$E2E_DIR/difference.txt"; then
    cat "$E2E_DIR/difference.txt"
    fail "the prefix differs from before the installation"
  fi
}

robot() {
  local script="$E2E_DIR/script.robot"
  printf '%s\n' "$@" >"$script"
  wine_run "$ROBOT_EXE" --set "SETUP=$(windows_path "$example_setup")" \
    --set "UNINSTALL=$destination\\uninstall.exe" "$(windows_path "$script")" ||
    fail "robot script"
}

# Through the wizard with every page shown; more steps may answer messages
# the installation shows before the finish page.
install_example() {
  robot "start \${SETUP}" \
    "wait-window Setup 101" "click 1" \
    "wait-window Setup 107" "click 1000" "click 1" \
    "wait-window Setup 131" "click 1" \
    "wait-window Setup 115" "type 301 \"Erika Muster\"" "type 302 \"Beispiel AG\"" "click 1" \
    "wait-window Setup 117" "click 1" \
    "wait-window Setup 120" "click 1" \
    "timeout 120000" "$@" \
    "wait-window Setup 122" "click 1" "wait-exit 0"
  [ -f "$destination_unix/uninstall.exe" ] || fail "setup.exe did not copy uninstall.exe"
  [ -f "$destination_unix/uninstall.log" ] || fail "setup.exe wrote no uninstall.log"
}

uninstall_quietly() {
  local code=0
  wine_run "$destination\\uninstall.exe" /quiet || code=$?
  [ "$code" -eq "$1" ] || fail "uninstall.exe /quiet ended with $code, not $1"
}

# The copy of uninstall.exe removes the original and its folder a moment
# after the original has ended.
wait_until_gone() {
  for _ in $(seq 300); do
    [ -e "$1" ] || return 0
    sleep 0.1
  done
  fail "$1 is still there"
}

build_example_setup() {
  wine_run "$BUILDER_EXE" pack --stub "$(windows_path "$SETUP_EXE")" \
    --out "$(windows_path "$example_setup")" \
    "setup.ini=$(windows_path "${EXAMPLE_SETUP_INI:-$EXAMPLE_DIR/setup.ini}")" \
    "license.rtf=$(windows_path "$EXAMPLE_DIR/license.rtf")" \
    "readme.rtf=$(windows_path "$EXAMPLE_DIR/readme.rtf")" \
    "left.jpg=$(windows_path "$PICTURES_DIR/left.jpg")" \
    "top.jpg=$(windows_path "$PICTURES_DIR/top.jpg")" \
    "uninstall.exe=$(windows_path "$UNINSTALL_EXE")" \
    "file_1=$(windows_path "$APP_EXE")" \
    "file_2=$(windows_path "$EXAMPLE_DIR/liesmich.txt")" \
    "file_3=$(windows_path "$SERVICE_EXE")" \
    "file_4=$(windows_path "$EXAMPLE_DIR/vorlage.txt")" ${EXTRA_ENTRY:+"$EXTRA_ENTRY"} >/dev/null ||
    fail "packing the example"
}

# Adds CRLF lines to a section of the installed uninstall.log, right after
# its header line.
add_to_log() {
  local section=$1 log="$destination_unix/uninstall.log"
  shift
  # Through the environment: awk would read the backslashes of -v values.
  ADDED_LINES="$(printf '%s\n' "$@")" awk -v section="[$section]" '
    { print }
    $0 == section "\r" { n = split(ENVIRON["ADDED_LINES"], added, "\n"); for (i = 1; i <= n; i++) print added[i] "\r" }' \
    "$log" >"$log.edited"
  mv "$log.edited" "$log"
}

# The example with a fifth file whose target existed before the
# installation: the same size as the file that replaces it, so the snapshots
# tell only a removal, and another text, so that its replacement shows.
build_replacing_setup() {
  awk '{ print } /^4=%%INSTALLDIR%%/ { print "5=C:\\Vorhanden\\notiz.txt\r" }' \
    "$EXAMPLE_DIR/setup.ini" >"$E2E_DIR/setup.ini"
  mkdir -p "$WINEPREFIX/drive_c/Vorhanden"
  tr 'a-zA-Z' 'A-Za-z' <"$EXAMPLE_DIR/liesmich.txt" >"$WINEPREFIX/drive_c/Vorhanden/notiz.txt"
  EXAMPLE_SETUP_INI="$E2E_DIR/setup.ini" EXTRA_ENTRY="file_5=$(windows_path "$EXAMPLE_DIR/liesmich.txt")" \
    build_example_setup
}

confirmation="answer-msgbox yes Deinstallation \"Möchten Sie Tolvanex Beispiel und alle zugehörigen Komponenten vollständig von Ihrem Computer entfernen?\""

case "$1" in
create-prefix)
  rm -rf "$E2E_DIR"
  mkdir -p "$HOME"
  wine_run cmd /c exit >/dev/null 2>&1 || fail "creating the prefix"
  # A new prefix rewrites its display device keys when it shows its first
  # window: uninstall.exe without a log shows one.
  robot "start $(windows_path "$UNINSTALL_EXE")" "answer-msgbox ok" "wait-exit 2" >/dev/null
  build_example_setup
  ;;
remove-prefix)
  wine_server -k >/dev/null 2>&1 || true
  rm -rf "$E2E_DIR"
  ;;
quiet)
  snapshot "$E2E_DIR/before.txt"
  install_example
  uninstall_quietly 0
  wait_until_gone "$destination_unix"
  expect_same_snapshot
  ;;
windows)
  snapshot "$E2E_DIR/before.txt"
  install_example
  robot "start \${UNINSTALL}" "$confirmation" \
    "answer-msgbox ok Deinstallation \"Tolvanex Beispiel wurde erfolgreich von Ihrem Computer entfernt.\"" \
    "wait-exit 0"
  wait_until_gone "$destination_unix"
  expect_same_snapshot
  ;;
user-file)
  snapshot "$E2E_DIR/before.txt"
  install_example
  echo "meine Notizen" >"$destination_unix/notizen.txt"
  robot "start \${UNINSTALL}" "$confirmation" \
    "answer-msgbox ok Deinstallation \"Tolvanex Beispiel wurde von Ihrem Computer entfernt. Folgende Elemente konnten jedoch nicht entfernt werden:\\n\\nOrdner \\\"${destination//\\/\\\\}\\\": Der Ordner ist nicht leer.\\n\\nSie können diese Elemente selbst entfernen.\"" \
    "wait-exit 1"
  wait_until_gone "$destination_unix/uninstall.exe"
  [ "$(ls -A "$destination_unix")" = notizen.txt ] ||
    fail "the folder holds more than the user's file: $(ls -A "$destination_unix")"
  rm -r "$destination_unix"
  expect_same_snapshot
  ;;
files-gone)
  snapshot "$E2E_DIR/before.txt"
  install_example
  rm "$destination_unix/beispiel.exe" "$destination_unix/liesmich.txt" \
    "$destination_unix/Dienst/beispieldienst.exe" "$destination_unix/Daten/Vorlagen/vorlage.txt"
  rmdir "$destination_unix/Daten/Vorlagen"
  uninstall_quietly 0
  wait_until_gone "$destination_unix"
  expect_same_snapshot
  ;;
second-install)
  snapshot "$E2E_DIR/before.txt"
  install_example
  # The service of the first installation exists: the second says so.
  install_example "answer-msgbox ok Fehler"
  uninstall_quietly 0
  wait_until_gone "$destination_unix"
  expect_same_snapshot
  ;;
hostile-log)
  # A log edited to name the system's files, folders, keys, values and
  # services, links out of the installation, and a file that was there
  # before: the uninstaller removes the installation and keeps all of them.
  build_replacing_setup
  outside="$E2E_DIR/outside"
  mkdir -p "$outside/leer" "$outside/daten"
  echo "fremd" >"$outside/daten/fremd.txt"
  snapshot "$E2E_DIR/before.txt"
  install_example
  [ "$(cat "$WINEPREFIX/drive_c/Vorhanden/notiz.txt")" = "$(cat "$EXAMPLE_DIR/liesmich.txt")" ] ||
    fail "setup.exe did not replace the existing file"
  grep -q 'notiz.txt' "$destination_unix/uninstall.replaced" || fail "the replaced file is not recorded"
  ln -s "$outside/leer" "$destination_unix/Verweis"
  ln -s "$outside/daten" "$destination_unix/Daten-Verweis"
  empty_system_folder=$(cd "$WINEPREFIX/drive_c" && find windows -mindepth 1 -type d -empty | head -n 1)
  [ -n "$empty_system_folder" ] || fail "no empty folder below C:\\windows"
  add_to_log files 'count=99' "90=C:\\windows\\win.ini" "91=C:\\windows\\system32\\kernel32.dll" \
    "92=$destination\\Daten-Verweis\\fremd.txt"
  add_to_log folders "90=C:\\${empty_system_folder//\//\\}" "91=$destination\\Verweis"
  add_to_log reg_val '90_hkey=HKEY_LOCAL_MACHINE' \
    '90_key=Software\Microsoft\Windows NT\CurrentVersion' '90_value=RegisteredOwner' \
    '91_hkey=HKEY_LOCAL_MACHINE' '91_key=System\CurrentControlSet\Control\ComputerName\ComputerName' \
    '91_value=ComputerName'
  add_to_log svc '90=RpcSs' '91=PlugPlay'
  robot "start \${UNINSTALL}" "$confirmation" "answer-msgbox ok Deinstallation" "wait-exit 1" \
    >"$E2E_DIR/transcript.txt"
  for kept in 'win.ini' 'kernel32.dll' 'fremd.txt' "${empty_system_folder##*/}" 'Verweis' \
    'RegisteredOwner' 'ComputerName' 'RpcSs' 'PlugPlay' 'notiz.txt' \
    'Windows-Verzeichnis werden nie entfernt' 'kein Programm dieser Installation' \
    'vor der Installation vorhanden' 'zu einem anderen Ort' 'des Systems werden nie entfernt'; do
    grep -qF "$kept" "$E2E_DIR/transcript.txt" || { cat "$E2E_DIR/transcript.txt"; fail "the closing list does not name $kept"; }
  done
  [ -f "$outside/daten/fremd.txt" ] && [ -d "$outside/leer" ] || fail "a link was followed"
  [ "$(cat "$WINEPREFIX/drive_c/Vorhanden/notiz.txt")" = "$(cat "$EXAMPLE_DIR/liesmich.txt")" ] ||
    fail "the file that was there before is gone"
  wait_until_gone "$destination_unix/uninstall.exe"
  # The links themselves remain, and the folder with them.
  rm "$destination_unix/Verweis" "$destination_unix/Daten-Verweis"
  rmdir "$destination_unix"
  expect_same_snapshot
  rm -r "$WINEPREFIX/drive_c/Vorhanden"
  build_example_setup # the other scenarios' installer again
  ;;
*)
  fail "unknown scenario $1"
  ;;
esac
echo "passed: $1"
