#!/usr/bin/env bash
# pack --sign with osslsigncode and a certificate made here: both programs
# signed, a signed stub's table removed, a failing signer and a damaged table
# refused without leaving an installer.
#   signing_test.sh TOOL WORK_DIR
set -euo pipefail
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work"
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Two small PE programs stand for setup.exe and uninstall.exe.
printf 'int main(void) { return 0; }\n' >stub.c
i686-w64-mingw32-gcc -O2 -s -o stub.exe stub.c
printf 'int main(void) { return 1; }\n' >uninstall.c
i686-w64-mingw32-gcc -O2 -s -o uninstall.exe uninstall.c
printf '[main]\ntitle=Signed\n' >setup.ini
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Tolvanex Test Publisher" 2>/dev/null
signer="osslsigncode sign -certs cert.pem -key key.pem -n Test"
verify() { osslsigncode verify -CAfile cert.pem "$1" >verify.log 2>&1; }
pack() { "$tool" pack "$@" setup.ini=setup.ini uninstall.exe=uninstall.exe; }

# name | sign command: both with {in}, and in place
while IFS='|' read -r name command; do
  rm -rf x "$name.exe"
  pack --stub stub.exe --out "$name.exe" --sign "$command" >out.log 2>err.log ||
    { fail "$name: pack: $(cat err.log)"; continue; }
  verify "$name.exe" || fail "$name: the installer does not verify"
  "$tool" extract "$name.exe" x >/dev/null || fail "$name: extract from the signed installer"
  verify x/uninstall.exe || fail "$name: the packed uninstaller does not verify"
  verify uninstall.exe && fail "$name: the publisher's uninstall.exe was signed in place"
  cmp -s x/setup.ini setup.ini || fail "$name: setup.ini differs after extraction"
done <<ROWS
in-out|$signer -in {in} -out {out}
in-place|$signer -in {out} -out {out}.signed && mv {out}.signed {out}
ROWS

# Paths that hold shell syntax, in commands that leave their placeholders bare
# or quote them: the signer gets each path as one word and nothing in it runs.
# name | sign command | output | uninstaller as packed from
while IFS='|' read -r name command out uninstaller; do
  rm -rf x pwned
  mkdir -p "$(dirname -- "./$uninstaller")"
  cp uninstall.exe "./$uninstaller"
  status=0
  "$tool" pack --stub stub.exe --out "$out" --sign "$command" setup.ini=setup.ini \
    "uninstall.exe=$uninstaller" >out.log 2>err.log || status=$?
  [ "$status" -eq 0 ] || fail "$name: exit code $status: $(cat err.log)"
  [ ! -e pwned ] || fail "$name: a command in a path ran"
  [ -f "./$out" ] || { fail "$name: no installer named $out"; continue; }
  "$tool" extract "./$out" x >/dev/null || fail "$name: extract"
  cmp -s x/setup.ini setup.ini || fail "$name: setup.ini differs after extraction"
  cmp -s x/uninstall.exe uninstall.exe || fail "$name: uninstall.exe differs after extraction"
  [ -z "$(ls ./"$out".* 2>/dev/null)" ] || fail "$name: left $(ls ./"$out".*)"
  rm -f "./$out"
done <<'ROWS'
bare|cp {in} {out}|a{out}$(touch pwned).exe|un{in}$(touch pwned).exe
double-quoted|cp "{in}" "{out}"|b"$(touch pwned)".exe|u{out}`touch pwned`/un.exe
single-quoted|cp '{in}' '{out}'|c'$(touch pwned)'.exe|un;touch pwned;.exe
in-place|cp {out} {out}.x && mv {out}.x {out}|d;touch pwned&.exe|u'$(touch pwned)'.exe
option-like|cp {in} {out}|-e.exe|-un.exe
blanks|cp -- {in} {out}|f  $HOME * .exe|u *.exe
ROWS

# A build script's [build] sign= signs as --sign does.
printf '[build]\nstub=stub.exe\nuninstaller=uninstall.exe\nsign=%s -in {in} -out {out}\n[main]\napptitle=Signed\ndestdir=%%%%PROGRAMFILES%%%%Signed\n' \
  "$signer" >build.ini
rm -rf x
if "$tool" build build.ini --out built.exe --quiet >out.log 2>err.log; then
  verify built.exe || fail "build: the installer does not verify"
  "$tool" extract built.exe x >/dev/null && verify x/uninstall.exe ||
    fail "build: the packed uninstaller does not verify"
else
  fail "build with sign=: $(cat err.log)"
fi

# A stub signed before packing: its table goes, the rest is the stub as built.
$signer -in stub.exe -out stub-signed.exe >/dev/null
SOURCE_DATE_EPOCH=1700000000 pack --stub stub.exe --out plain.exe >/dev/null
SOURCE_DATE_EPOCH=1700000000 pack --stub stub-signed.exe --out from-signed.exe >/dev/null 2>err.log
grep -q "certificate table (.* bytes) was removed" err.log || fail "no note of the removed table"
cmp -s plain.exe from-signed.exe || fail "the signed stub's table was not removed cleanly"
pack --stub stub-signed.exe --out resigned.exe --sign "$signer -in {in} -out {out}" \
  >/dev/null 2>&1 || fail "packing the signed stub with --sign"
verify resigned.exe || fail "the installer from a signed stub does not verify"

# Failures: no installer is left, an earlier one stays as it was.
# name | exit code | sign command | expected message
while IFS='|' read -r name code command message; do
  echo "earlier installer" >"$name.exe"
  status=0
  pack --stub stub.exe --out "$name.exe" --sign "$command" >/dev/null 2>err.log || status=$?
  [ "$status" -eq "$code" ] || fail "$name: exit code $status, not $code"
  grep -q -- "$message" err.log || fail "$name: no \"$message\" in: $(cat err.log)"
  [ "$(cat "$name.exe")" = "earlier installer" ] || fail "$name: the earlier installer changed"
  [ -z "$(ls "$name.exe".* 2>/dev/null)" ] || fail "$name: left $(ls "$name.exe".*)"
done <<'ROWS'
signer-fails|3|echo starting; echo key not found >&2; exit 7|exit code 7: key not found
no-output|3|true {in} {out}|left no signed file
uninstaller-fails|3|case {in} in *uninstall*) exit 4;; *) cp {in} {out};; esac|exit code 4
ROWS

# A table whose directory entry points past the end of the file.
cp stub.exe damaged.exe
pe=$(od -An -tu4 -j60 -N4 damaged.exe | tr -d ' ')
entry=$((pe + 24 + 128)) # the security entry of a PE32 optional header
printf '\x00\x00\x10\x00\x00\x01\x00\x00' | dd of=damaged.exe bs=1 seek="$entry" conv=notrunc 2>/dev/null
cp damaged.exe damaged-before.exe
status=0
pack --stub damaged.exe --out refused.exe >/dev/null 2>err.log || status=$?
[ "$status" -eq 2 ] || fail "damaged table: exit code $status, not 2"
grep -q "damaged certificate table" err.log || fail "damaged table: $(cat err.log)"
[ ! -e refused.exe ] || fail "damaged table: an installer was written"
cmp -s damaged.exe damaged-before.exe || fail "damaged table: the stub was altered"

[ "$failures" -eq 0 ] || exit 1
cd / && rm -rf "$work"
echo "passed"
