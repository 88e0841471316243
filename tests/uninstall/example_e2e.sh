#!/usr/bin/env bash
# The example installation removed by uninstall.exe, in a Wine prefix of its
# own: after setup.exe and uninstall.exe the prefix must be as it was before,
# its files, its registry (services included) alike.
#
#   example_e2e.sh create-prefix | remove-prefix | SCENARIO
#
# Scenarios: quiet, windows, user-file, files-gone, second-install.
# The environment names the programs: E2E_DIR (work directory, holds the
# prefix), WINE_RUN, BUILDER_EXE (with setup.exe, uninstall.exe and the
# pictures beside it), ROBOT_EXE, UNINSTALL_EXE, SOURCE_DIR (the project),
# PROGRAMS_DIR (the tree's examples folder); and DISPLAY.
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

# The example's build script, built by the tree's builder, which finds its
# own tree's setup.exe, uninstall.exe and pictures beside it.
build_example_setup() {
  stage_example "$SOURCE_DIR" "$PROGRAMS_DIR" "$E2E_DIR/stage"
  wine_run "$BUILDER_EXE" build "$(windows_path "$E2E_DIR/stage/build.ini")" \
    --out "$(windows_path "$example_setup")" --quiet ||
    fail "building the example"
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
*)
  fail "unknown scenario $1"
  ;;
esac
echo "passed: $1"
