#!/usr/bin/env bash
# The example installation removed by uninstall.exe, in a Wine prefix of its
# own: after setup.exe and uninstall.exe the prefix must be as it was before,
# its files, its registry (services included) alike.
#
#   example_e2e.sh create-prefix | remove-prefix | SCENARIO
#
# Scenarios: quiet (installs with /quiet, checks everything the installation
# made and removes it by its QuietUninstallString), passive, exit-codes,
# windows, user-file, files-gone, second-install, signed, hostile-log, lzma.
# The environment names the programs: E2E_DIR (work directory, holds the
# prefix), WINE_RUN, BUILDER_EXE (with setup.exe, uninstall.exe and the
# pictures beside it), ROBOT_EXE, UNINSTALL_EXE, SOURCE_DIR (the project),
# PROGRAMS_DIR (the tree's examples folder); and DISPLAY. SETUP_EXE and
# UNINSTALL_EXE, when given, go into the installer in place of the ones
# beside the builder.
# E2E_BITS=32 says the programs are the 32-bit ones on 64-bit Windows: they
# see Program Files (x86) and the registry's 32-bit view. E2E_ARCHITECTURE
# (x86 or x64), when given, goes into the build script as its architecture.
# E2E_WAIT_MS is how long to wait at most for a window, a program's end or a
# removal (default 20 s; programs run through an emulator take the better
# part of a minute to start).
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"

export WINEPREFIX="$E2E_DIR/prefix"
export WINEDEBUG=-all
# The prefix's desktop and document folders lead into the home directory, and
# Wine's menu builder writes beside them: both stay inside the work directory.
export HOME="$E2E_DIR/home"
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
if [ "${E2E_BITS:-64}" = 32 ]; then
  program_files='Program Files (x86)'
  registry_view=32
  other_view=64
else
  program_files='Program Files'
  registry_view=64
  other_view=32
fi
destination="C:\\$program_files\\Tolvanex Beispiel"
destination_unix="$WINEPREFIX/drive_c/$program_files/Tolvanex Beispiel"
example_setup="$E2E_DIR/example-setup.exe"
example_text=$SOURCE_DIR/examples/payload/liesmich.txt
SETUP_EXE=${SETUP_EXE:-$(dirname "$BUILDER_EXE")/setup.exe}
UNINSTALL_EXE=${UNINSTALL_EXE:-$(dirname "$BUILDER_EXE")/uninstall.exe}
wait_ms=${E2E_WAIT_MS:-20000}

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
# renews in every session: the display adapter's key and its dates, the link
# value that its renewal now and then leaves in the adapter's class key (a
# value in hex, continued over lines ending in a backslash), and the device
# map and device interfaces, which its device manager links and unlinks as
# devices come up in a new session.
export_registry() {
  local file="$E2E_DIR/export.reg"
  wine_run reg export "$1" "$(windows_path "$file")" /y >/dev/null 2>&1 ||
    fail "reg export $1"
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | awk '
    /^\[/ {
      skip = index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\") == 1 ||
        index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses\\") == 1 ||
        index($0, "[HKEY_LOCAL_MACHINE\\Hardware\\DEVICEMAP\\") == 1
      adapter = index($0, "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\") == 1
    }
    /^"DriverDateData"=/ { next }
    adapter && /^"SymbolicLinkValue"=/ { continued = 1 }
    continued { continued = /\\$/; next }
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
  robot_from "$E2E_DIR/script.robot" "$@" || fail "robot script"
}

# Each argument as one word of a robot script.
robot_words() {
  local word words=()
  for word in "$@"; do
    word=${word//\\/\\\\}
    words+=("\"${word//\"/\\\"}\"")
  done
  echo "${words[*]}"
}

# The robot with its script in the file SCRIPT; returns the robot's status.
robot_from() {
  local script=$1
  shift
  printf '%s\n' "timeout $wait_ms" "$@" >"$script"
  wine_run "$ROBOT_EXE" --set "SETUP=$(windows_path "${setup_under_test:-$example_setup}")" \
    --set "UNINSTALL=$destination\\uninstall.exe" "$(windows_path "$script")"
}

# Through the wizard with every page shown; more steps may answer messages
# the installation shows before the finish page.
install_example() {
  robot "start \${SETUP}" \
    "wait-window Setup 101" "click 1" \
    "wait-window Setup 107" "click 1000" "click 1" \
    "wait-window Setup 131" "click 1" \
    "wait-window Setup 115" "type 301 \"Erika Muster\"" "type 302 \"Beispiel AG\"" "click 1" \
    "wait-window Setup 117" "expect-text 715 \"${destination//\\/\\\\}\"" "click 1" \
    "wait-window Setup 120" "click 1" \
    "timeout $((wait_ms > 120000 ? wait_ms : 120000))" "$@" \
    "wait-window Setup 122" "click 1" "wait-exit 0"
  [ -f "$destination_unix/uninstall.exe" ] || fail "setup.exe did not copy uninstall.exe"
  [ -f "$destination_unix/uninstall.log" ] || fail "setup.exe wrote no uninstall.log"
}

setup_log="$E2E_DIR/setup.log"
setup_log_windows=$(windows_path "$setup_log")
unattended_switches=("/dir=$destination" "/user=Erika Muster" "/company=Beispiel AG"
  "/log=$setup_log_windows")

# Without the robot, as a deployment script runs it: Wine hands on the exit
# code's low 8 bits, enough to tell 0 from a failure.
install_quietly() {
  local code=0
  rm -f "$setup_log"
  wine_run "$example_setup" /quiet "${unattended_switches[@]}" -NORESTART || code=$?
  [ "$code" -eq 0 ] || fail "setup.exe /quiet ended with $code (low 8 bits)"
}

# The log as text of this machine.
log_text() {
  iconv -f CP1252 -t UTF-8 "$1" | tr -d '\r'
}

# FILE LINE...: the log has each line whole.
expect_log_lines() {
  local file=$1 line text
  shift
  text=$(log_text "$file")
  for line in "$@"; do
    grep -qxF -- "$line" <<<"$text" || { echo "$text"; fail "$file has no line \"$line\""; }
  done
}

# The Uninstall key's values for installation managers, the estimated size
# from the application's files, and the setup log line by line.
check_unattended_additions() {
  local install=$destination\\ bytes=0 size menu profile programs
  for file in "$PROGRAMS_DIR/beispiel.exe" "$SOURCE_DIR/examples/payload/liesmich.txt" \
    "$PROGRAMS_DIR/beispieldienst.exe" "$SOURCE_DIR/examples/payload/vorlage.txt"; do
    bytes=$((bytes + $(stat -c %s "$file")))
  done
  size=$(printf '0x%x' $(((bytes + 1023) / 1024)))
  expect_values 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tolvanex Beispiel' \
    "QuietUninstallString|REG_SZ|\"${install}uninstall.exe\" /quiet" \
    "InstallLocation|REG_SZ|$install" "DisplayIcon|REG_SZ|${install}uninstall.exe" \
    "EstimatedSize|REG_DWORD|$size" "NoModify|REG_DWORD|0x1" "NoRepair|REG_DWORD|0x1"
  menu=$(find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/Tolvanex Beispiel' -type d)
  profile="C:\\users\\$(basename "${menu%%/AppData/*}")"
  programs="$profile\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
  local expected
  expected=$(cat <<LOG
Zielordner: $destination | OK
Ordner: ${install}Dienst | OK
Ordner: ${install}Daten | OK
Ordner: ${install}Daten\\Vorlagen | OK
Deinstallationsprogramm: ${install}uninstall.exe | OK
Datei: ${install}beispiel.exe | OK
Datei: ${install}liesmich.txt | OK
Datei: ${install}Dienst\\beispieldienst.exe | OK
Datei: ${install}Daten\\Vorlagen\\vorlage.txt | OK
Deinstallationseintrag: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvanex Beispiel | OK
Shell-Ordner: $programs\\Tolvanex Beispiel | OK
Verknüpfung: $programs\\Tolvanex Beispiel\\Tolvanex Beispiel.lnk | OK
Verknüpfung: $profile\\Desktop\\Tolvanex Beispiel.lnk | OK
Registrierungsschlüssel: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvanex Beispiel | OK
Registrierungswert: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvanex Beispiel\\InstallDir | OK
Registrierungswert: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvanex Beispiel\\Stufe | OK
Registrierungswert: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvanex Beispiel\\Daten | OK
Registrierungsschlüssel: HKEY_CURRENT_USER\\Software\\Tolvanex Beispiel | OK
Registrierungswert: HKEY_CURRENT_USER\\Software\\Tolvanex Beispiel\\Benutzer | OK
Registrierungswert: HKEY_CURRENT_USER\\Environment\\TOLVANEX_BEISPIEL | OK
Dienst: TolvanexBeispiel | OK
Exitcode: 0
LOG
)
  local first
  first=$(log_text "$setup_log" | head -n 1)
  [[ $first == "Tolvanex Setup | Pfad: $(windows_path "$example_setup") | Befehlszeile: "*" /quiet \"/dir=$destination\" "* ]] ||
    fail "the setup log begins otherwise: $first"
  if ! diff -u <(echo "$expected") <(log_text "$setup_log" | tail -n +2) >"$E2E_DIR/log-difference.txt"; then
    cat "$E2E_DIR/log-difference.txt"
    fail "the setup log tells other things than the installation did"
  fi
}

# The registered QuietUninstallString, run as a manager runs it, with a log.
uninstall_as_registered() {
  local command code=0
  command=$(registry_values 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tolvanex Beispiel' \
    "$registry_view" | sed -n 's/^QuietUninstallString|REG_SZ|//p')
  [ -n "$command" ] || fail "no QuietUninstallString"
  printf '@%s /log=%s\r\n@exit /b %%errorlevel%%\r\n' "$command" \
    "$(windows_path "$E2E_DIR/uninstall.log")" >"$E2E_DIR/remove.cmd"
  wine_run cmd /c "$(windows_path "$E2E_DIR/remove.cmd")" || code=$?
  [ "$code" -eq "$1" ] || fail "the QuietUninstallString ended with $code, not $1"
  expect_log_lines "$E2E_DIR/uninstall.log" "Meldung: Tolvanex Beispiel wurde erfolgreich von Ihrem Computer entfernt." \
    "Dienst \"TolvanexBeispiel\": Entfernt." "Datei \"${destination}\\beispiel.exe\": Entfernt." \
    "Exitcode: $1"
}

uninstall_quietly() {
  local code=0
  wine_run "$destination\\uninstall.exe" /quiet || code=$?
  [ "$code" -eq "$1" ] || fail "uninstall.exe /quiet ended with $code, not $1"
}

# The copy of uninstall.exe removes the original and its folder a moment
# after the original has ended.
wait_until_gone() {
  for _ in $(seq $((wait_ms / 100 > 300 ? wait_ms / 100 : 300))); do
    [ -e "$1" ] || return 0
    sleep 0.1
  done
  fail "$1 is still there"
}

# The example's build script, built by the tree's builder, which finds its
# own tree's setup.exe, uninstall.exe and pictures beside it.
build_example_setup() {
  local extra=${1:-} folder=${2:-}
  stage_example "$SOURCE_DIR" "$PROGRAMS_DIR" "$E2E_DIR/stage"
  [ -z "$extra" ] || cp "$extra" "$E2E_DIR/stage/"
  # The programs under test stand in for the builder's own; EXTRA, when
  # given, is one more source, going to FOLDER.
  stub=$(windows_path "$SETUP_EXE") uninstaller=$(windows_path "$UNINSTALL_EXE") \
    architecture=${E2E_ARCHITECTURE:-} extra=${extra##*/} folder=$folder awk '
    /^\[/ { section = $0 }
    section ~ /^\[sources\]/ && /^count=/ && ENVIRON["extra"] != "" {
      n = substr($0, 7) + 0
      print "count=" n + 1; print n "_from=" ENVIRON["extra"]; print n "_to=" ENVIRON["folder"]
      next
    }
    { print }
    /^\[build\]/ {
      print "stub=" ENVIRON["stub"]; print "uninstaller=" ENVIRON["uninstaller"]
      if (ENVIRON["architecture"] != "") print "architecture=" ENVIRON["architecture"]
    }' \
    "$SOURCE_DIR/examples/build.ini" >"$E2E_DIR/stage/build.ini"
  # BUILD_OPTIONS, when set, are more options of build (word-split).
  # shellcheck disable=SC2086
  wine_run "$BUILDER_EXE" build "$(windows_path "$E2E_DIR/stage/build.ini")" \
    --out "$(windows_path "$example_setup")" --quiet ${BUILD_OPTIONS:-} ||
    fail "building the example"
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

expect_copy() {
  cmp -s "$1" "$2" || fail "$2 is not a copy of $1"
}

# The values of a registry key through one view of the registry (32 or 64),
# one NAME|TYPE|DATA a line; nothing when the key is missing there.
registry_values() {
  wine_run reg query "$1" "/reg:$2" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \(.*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1|\2|\3/p'
}

# KEY NAME|TYPE|DATA...: the key has these values in the installer's view.
expect_values() {
  local key=$1 values line
  values=$(registry_values "$key" "$registry_view")
  shift
  for line in "$@"; do
    grep -qxF -- "$line" <<<"$values" || fail "$key has no value $line; it has: $values"
  done
}

# KEY: the installer's view alone has the key.
expect_only_in_view() {
  [ -z "$(registry_values "$1" "$other_view")" ] ||
    fail "$1 is in the registry's $other_view-bit view"
}

# A shortcut's texts as strings(1) finds them, each behind its length: the
# text must end one of the lines.
expect_shortcut() {
  local file=$1 text texts
  [ -f "$file" ] || fail "no shortcut $file"
  texts=$(strings -a "$file"; strings -a -el "$file")
  shift
  for text in "$@"; do
    # From the environment: awk -v would take the backslashes as escapes.
    text=$text awk 'BEGIN { t = ENVIRON["text"] }
      substr($0, length($0) - length(t) + 1) == t { found = 1 }
      END { exit !found }' <<<"$texts" || fail "$file does not hold \"$text\""
  done
}

# Everything the example's setup.ini lists, where and as the installer's
# view of the system puts it, and uninstall.log listing it.
check_installation() {
  local menu profile install=$destination\\
  expect_copy "$PROGRAMS_DIR/beispiel.exe" "$destination_unix/beispiel.exe"
  expect_copy "$SOURCE_DIR/examples/payload/liesmich.txt" "$destination_unix/liesmich.txt"
  expect_copy "$PROGRAMS_DIR/beispieldienst.exe" "$destination_unix/Dienst/beispieldienst.exe"
  expect_copy "$SOURCE_DIR/examples/payload/vorlage.txt" "$destination_unix/Daten/Vorlagen/vorlage.txt"
  expect_copy "$UNINSTALL_EXE" "$destination_unix/uninstall.exe"

  menu=$(find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/Tolvanex Beispiel' -type d)
  [ -n "$menu" ] || fail "no start-menu folder Tolvanex Beispiel"
  profile="C:\\users\\$(basename "${menu%%/AppData/*}")"
  expect_shortcut "$menu/Tolvanex Beispiel.lnk" "${install}beispiel.exe" \
    "Startet die Tolvanex Beispielanwendung" "$install"
  # The prefix's desktop is the home directory.
  expect_shortcut "$HOME/Tolvanex Beispiel.lnk" "${install}beispiel.exe" \
    "Tolvanex Beispielanwendung mit Gruss" "$install" "/gruss Erika Muster"

  expect_values 'HKLM\SOFTWARE\Tolvanex Beispiel' "(Default)|REG_SZ|$install" \
    "InstallDir|REG_SZ|$install" "Stufe|REG_DWORD|0x3" "Daten|REG_EXPAND_SZ|${install}Daten"
  expect_only_in_view 'HKLM\SOFTWARE\Tolvanex Beispiel'
  expect_values 'HKCU\Software\Tolvanex Beispiel' "Benutzer|REG_SZ|Erika Muster"
  expect_values 'HKCU\Environment' "TOLVANEX_BEISPIEL|REG_SZ|$install"
  local uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tolvanex Beispiel'
  expect_values "$uninstall_key" "UninstallString|REG_SZ|${install}uninstall.exe" \
    "DisplayName|REG_SZ|Tolvanex Beispiel" "DisplayVersion|REG_SZ|1.0.0" \
    "Publisher|REG_SZ|Tolvanex-Projekt" "URLInfoAbout|REG_SZ|https://www.example.com/tolvanex"
  expect_only_in_view "$uninstall_key"
  expect_values 'HKLM\System\CurrentControlSet\Services\TolvanexBeispiel' \
    "DisplayName|REG_SZ|Tolvanex Beispieldienst" \
    "ImagePath|REG_SZ|\"${install}Dienst\\beispieldienst.exe\" -dienst" \
    "Type|REG_DWORD|0x10" "Start|REG_DWORD|0x3" "ErrorControl|REG_DWORD|0x1"

  local programs="$profile\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
  local expected_log
  expected_log=$(cat <<LOG
; Tolvanex uninstall log
[main]
appptitle=Tolvanex Beispiel
[folders]
count=3
1=${install}Dienst
2=${install}Daten
3=${install}Daten\\Vorlagen
[files]
1=${install}beispiel.exe
2=${install}liesmich.txt
3=${install}Dienst\\beispieldienst.exe
4=${install}Daten\\Vorlagen\\vorlage.txt
count=4
[shell_folders]
0=$programs\\Tolvanex Beispiel
count=1
[shell_items]
0=$programs\\Tolvanex Beispiel\\Tolvanex Beispiel.lnk
1=$profile\\Desktop\\Tolvanex Beispiel.lnk
count=2
[reg_key]
0_hkey=HKEY_LOCAL_MACHINE
0_key=SOFTWARE\\Tolvanex Beispiel
1_hkey=HKEY_CURRENT_USER
1_key=Software\\Tolvanex Beispiel
[reg_val]
0_hkey=HKEY_LOCAL_MACHINE
0_key=SOFTWARE\\Tolvanex Beispiel
0_value=InstallDir
1_hkey=HKEY_LOCAL_MACHINE
1_key=SOFTWARE\\Tolvanex Beispiel
1_value=Stufe
2_hkey=HKEY_LOCAL_MACHINE
2_key=SOFTWARE\\Tolvanex Beispiel
2_value=Daten
3_hkey=HKEY_CURRENT_USER
3_key=Software\\Tolvanex Beispiel
3_value=Benutzer
4_hkey=HKEY_CURRENT_USER
4_key=Environment
4_value=TOLVANEX_BEISPIEL
[svc]
0=TolvanexBeispiel
LOG
)
  # Some profile writers keep a blank line after the header, some do not.
  if ! diff -u <(echo "$expected_log") <(tr -d '\r' <"$destination_unix/uninstall.log" | grep -v '^$') \
    >"$E2E_DIR/log-difference.txt"; then
    cat "$E2E_DIR/log-difference.txt"
    fail "uninstall.log lists other things than the installation made"
  fi
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
  mkdir -p "$WINEPREFIX/drive_c/Vorhanden" "$E2E_DIR/replacing"
  tr 'a-zA-Z' 'A-Za-z' <"$example_text" >"$WINEPREFIX/drive_c/Vorhanden/notiz.txt"
  cp "$example_text" "$E2E_DIR/replacing/notiz.txt"
  build_example_setup "$E2E_DIR/replacing/notiz.txt" 'C:\Vorhanden'
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
  install_quietly
  check_installation
  check_unattended_additions
  uninstall_as_registered 0
  wait_until_gone "$destination_unix"
  expect_same_snapshot
  ;;
passive)
  snapshot "$E2E_DIR/before.txt"
  rm -f "$setup_log"
  robot "start \${SETUP} /passive $(robot_words "${unattended_switches[@]}")" "wait-exit 0"
  check_installation
  expect_log_lines "$setup_log" "Dienst: TolvanexBeispiel | OK" "Exitcode: 0"
  uninstall_quietly 0
  wait_until_gone "$destination_unix"
  expect_same_snapshot
  ;;
exit-codes)
  snapshot "$E2E_DIR/before.txt"
  log_switch="/log=$setup_log_windows"
  # Without /quiet or /passive the switches fill the pages, an unknown one is
  # passed over, and the help is a message box.
  robot "start \${SETUP} /bogus $(robot_words '/dir=D:\Anderswo' '/user=Max Muster' '/company=Muster KG')" \
    "wait-window Setup 101" "click 1" "wait-window Setup 107" "click 1000" "click 1" \
    "wait-window Setup 131" "click 1" "wait-window Setup 115" "expect-text 301 \"Max Muster\"" \
    "expect-text 302 \"Muster KG\"" "click 1" "wait-window Setup 117" \
    "expect-text 715 \"D:\\\\Anderswo\"" "click 2" "answer-msgbox yes" "wait-exit 0"
  robot "start \${SETUP} /quiet /?" "answer-msgbox ok Setup" "wait-exit 0"
  # A bad command line: nothing is done.
  for bad in /bogus /dir=Programme /user= -SILENT; do
    rm -f "$setup_log"
    robot "start \${SETUP} /quiet $(robot_words "$bad" "$log_switch")" "wait-exit 1639"
    expect_log_lines "$setup_log" "Ungültiges Argument: $bad" "Exitcode: 1639"
    [ "$(log_text "$setup_log" | wc -l)" -eq 3 ] || fail "more than the bad argument was logged"
  done
  robot "start \${SETUP} /passive $(robot_words '/log=C:\Fehlt\setup.log')" "wait-exit 1639"
  [ ! -e "$destination_unix" ] || fail "a bad command line installed something"
  # A damaged payload: the archive's directory at its end is cut off.
  head -c $(($(stat -c %s "$example_setup") - 2000)) "$example_setup" >"$E2E_DIR/damaged-setup.exe"
  rm -f "$setup_log"
  setup_under_test="$E2E_DIR/damaged-setup.exe" robot "start \${SETUP} /quiet $(robot_words "$log_switch")" \
    "wait-exit 1620"
  expect_log_lines "$setup_log" "Meldung: Setup-Archiv beschädigt!" "Exitcode: 1620"
  # A second setup of the application while the first shows its wizard.
  touch "$E2E_DIR/first-ready"
  robot_from "$E2E_DIR/first.robot" "start \${SETUP}" "wait-window Setup 101" \
    "delete-file $(windows_path "$E2E_DIR/first-ready")" "timeout 600000" "answer-msgbox yes" \
    "wait-exit 0" >"$E2E_DIR/first.txt" 2>&1 &
  first=$!
  for _ in $(seq $((wait_ms / 100 > 600 ? wait_ms / 100 : 600))); do
    [ -e "$E2E_DIR/first-ready" ] && kill -0 "$first" 2>/dev/null || break
    sleep 0.1
  done
  [ ! -e "$E2E_DIR/first-ready" ] || { cat "$E2E_DIR/first.txt"; fail "the first setup showed no wizard"; }
  rm -f "$setup_log"
  robot "start \${SETUP} /quiet $(robot_words "$log_switch")" "wait-exit 1618"
  expect_log_lines "$setup_log" "Meldung: Das Setup von Tolvanex Beispiel wird bereits ausgeführt.  Bitte warten Sie, bis es beendet ist, und versuchen Sie es erneut." \
    "Exitcode: 1618"
  robot "start \${SETUP}" \
    "answer-msgbox ok Setup \"Das Setup von Tolvanex Beispiel wird bereits ausgeführt.\\n\\nBitte warten Sie, bis es beendet ist, und versuchen\\nSie es erneut.\"" \
    "wait-exit 0"
  robot "wait-window Setup 101" "click 2"
  wait "$first" || { cat "$E2E_DIR/first.txt"; fail "the first setup did not end when cancelled"; }
  # An item that cannot be made: a file where a folder goes.
  mkdir -p "$destination_unix"
  echo "kein Ordner" >"$destination_unix/Daten"
  rm -f "$setup_log"
  robot "start \${SETUP} /quiet $(robot_words "${unattended_switches[@]}")" "wait-exit 1603"
  log_text "$setup_log" | grep -qF "Ordner: $destination\\Daten | Fehler " ||
    { log_text "$setup_log"; fail "the folder that could not be made is not logged"; }
  log_text "$setup_log" | grep -q "vorlage.txt | Fehler [1-9]" || fail "the file not copied is not logged"
  expect_log_lines "$setup_log" "Datei: $destination\\beispiel.exe | OK" "Exitcode: 1603"
  uninstall_quietly 1
  wait_until_gone "$destination_unix/uninstall.exe"
  rm -r "$destination_unix"
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
    "wait-exit 0"
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
lzma)
  # The example packed with deflate and with LZMA installs the same files
  # and writes the same log.
  for method in deflate lzma; do
    snapshot "$E2E_DIR/before.txt"
    BUILD_OPTIONS="--method $method" example_setup="$E2E_DIR/$method-setup.exe" build_example_setup
    listed=${method/deflate/deflated}
    wine_run "$BUILDER_EXE" list "$(windows_path "$E2E_DIR/$method-setup.exe")" |
      grep -q "  $listed  " || fail "the $method installer holds no $listed entries"
    setup_under_test="$E2E_DIR/$method-setup.exe"
    install_example
    installation_record >"$E2E_DIR/$method-record.txt"
    uninstall_quietly 0
    wait_until_gone "$destination_unix"
    expect_same_snapshot
  done
  diff -u "$E2E_DIR/deflate-record.txt" "$E2E_DIR/lzma-record.txt" ||
    fail "the LZMA installer installed otherwise than the deflate one"
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
  [ "$(cat "$WINEPREFIX/drive_c/Vorhanden/notiz.txt")" = "$(cat "$example_text")" ] ||
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
  [ "$(cat "$WINEPREFIX/drive_c/Vorhanden/notiz.txt")" = "$(cat "$example_text")" ] ||
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
