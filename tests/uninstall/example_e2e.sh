#!/usr/bin/env bash
# The example installation removed by uninstall.exe, in a Wine prefix of its
# own: after setup.exe and uninstall.exe the prefix must be as it was before,
# its files, its registry (services included) alike.
#
#   example_e2e.sh create-prefix | remove-prefix | SCENARIO
#
# Scenarios: quiet, windows, user-file, files-gone, second-install, signed.
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
  wine_run "$ROBOT_EXE" --set "SETUP=$(windows_path "${setup_under_test:-$example_setup}")" \
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
    "setup.ini=$(windows_path "$EXAMPLE_DIR/setup.ini")" \
    "license.rtf=$(windows_path "$EXAMPLE_DIR/license.rtf")" \
    "readme.rtf=$(windows_path "$EXAMPLE_DIR/readme.rtf")" \
    "left.jpg=$(windows_path "$PICTURES_DIR/left.jpg")" \
    "top.jpg=$(windows_path "$PICTURES_DIR/top.jpg")" \
    "uninstall.exe=$(windows_path "$UNINSTALL_EXE")" \
    "file_1=$(windows_path "$APP_EXE")" \
    "file_2=$(windows_path "$EXAMPLE_DIR/liesmich.txt")" \
    "file_3=$(windows_path "$SERVICE_EXE")" \
    "file_4=$(windows_path "$EXAMPLE_DIR/vorlage.txt")" >/dev/null ||
    fail "packing the example"
}

# The installed files with their sizes (the uninstaller's only named: a
# signed one is larger) and the uninstall log.
installation_record() {
  (cd "$destination_unix" && find . -printf '%y %s %p\n' | LC_ALL=C sort |
    sed 's|^f [0-9]* ./uninstall.exe$|f - ./uninstall.exe|')
  tr -d '\r' <"$destination_unix/uninstall.log"
}

signing="$E2E_DIR/signing"

sign() {
  osslsigncode sign -certs "$signing/cert.pem" -key "$signing/key.pem" -n "Tolvanex Beispiel" \
    -in "$1" -out "$2" >/dev/null || fail "signing $1"
}

verify_signature() {
  osslsigncode verify -CAfile "$signing/cert.pem" "$1" >"$signing/verify.log" 2>&1 ||
    { cat "$signing/verify.log"; fail "$1 does not verify"; }
}

# The example signed the way a publisher signs it: the uninstaller before it
# is packed, the installer when it is finished, and a stub that was signed
# beforehand, whose certificate table the builder removes. The signing runs
# on this machine, as osslsigncode is a host program.
build_signed_setup() {
  mkdir -p "$signing"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$signing/key.pem" -out "$signing/cert.pem" \
    -days 2 -subj "/CN=Tolvanex Test Publisher" 2>/dev/null || fail "making the certificate"
  sign "$SETUP_EXE" "$signing/setup-stub.exe"
  sign "$UNINSTALL_EXE" "$signing/uninstall.exe"
  SETUP_EXE="$signing/setup-stub.exe" UNINSTALL_EXE="$signing/uninstall.exe" \
    example_setup="$signing/unsigned-setup.exe" build_example_setup
  sign "$signing/unsigned-setup.exe" "$E2E_DIR/signed-setup.exe"
  verify_signature "$E2E_DIR/signed-setup.exe"
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
signed)
  snapshot "$E2E_DIR/before.txt"
  install_example
  installation_record >"$E2E_DIR/unsigned-record.txt"
  uninstall_quietly 0
  wait_until_gone "$destination_unix"
  build_signed_setup
  setup_under_test="$E2E_DIR/signed-setup.exe"
  install_example
  verify_signature "$destination_unix/uninstall.exe"
  installation_record >"$E2E_DIR/signed-record.txt"
  diff -u "$E2E_DIR/unsigned-record.txt" "$E2E_DIR/signed-record.txt" ||
    fail "the signed installer installed otherwise than the unsigned one"
  uninstall_quietly 0
  wait_until_gone "$destination_unix"
  expect_same_snapshot
  ;;
*)
  fail "unknown scenario $1"
  ;;
esac
echo "passed: $1"
