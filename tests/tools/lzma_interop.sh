#!/usr/bin/env bash
# The builder's LZMA payloads read by independent readers: Python's zipfile
# and, when installed, 7-Zip. The payload's record signatures are turned
# back into ZIP's first; every entry must give its source file's bytes.
#   lzma_interop.sh TOLVANEX_BUILD WORK_DIR
set -euo pipefail
tool=$1 work=$2
rm -rf "$work"
mkdir -p "$work/tree/sub"
python3 - "$work/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(14)
words = [b"Datei", b"Ordner", b"setup", b"payload", b"window", b"\xe4\xf6\xfc"]
def text(n):
    return b" ".join(rng.choice(words) for _ in range(n))
files = {
    "text.txt": text(50000),
    "noise.bin": bytes(rng.getrandbits(8) for _ in range(30000)),
    "empty": b"",
    "one": b"1",
    "sub/zeros.bin": bytes(2_000_000),
    "sub/mixed.bin": text(20000) + bytes(rng.getrandbits(8) for _ in range(5000)),
}
for name, data in files.items():
    with open(os.path.join(root, name), "wb") as f:
        f.write(data)
PY
printf 'MZ stub' >"$work/stub"
for level in 1 6 9; do
  "$tool" pack --quiet --stub "$work/stub" --out "$work/lzma$level.exe" --method lzma \
    --level "$level" "$work/tree"
  python3 - "$work/lzma$level.exe" "$work/tree" "$work/lzma$level.zip" <<'PY'
import os, struct, sys, zipfile
data = bytearray(open(sys.argv[1], "rb").read())
end = data.rfind(b"fK\x05\x06")
count, _, directory = struct.unpack_from("<HII", data, end + 10)
start = end - _ - directory  # bytes in front of the archive
del data[:start]
end -= start
data[end] = 0x50
pos = directory
for _ in range(count):
    data[pos] = 0x50
    local = struct.unpack_from("<I", data, pos + 42)[0]
    data[local] = 0x50
    pos += 46 + sum(struct.unpack_from("<HHH", data, pos + 28))
open(sys.argv[3], "wb").write(data)
methods = set()
with zipfile.ZipFile(sys.argv[3]) as archive:
    names = archive.namelist()
    for info in archive.infolist():
        methods.add(info.compress_type)
        expected = open(os.path.join(sys.argv[2], info.filename), "rb").read()
        if archive.read(info) != expected:
            sys.exit("zipfile reads %s otherwise" % info.filename)
if len(names) != 6 or zipfile.ZIP_LZMA not in methods:
    sys.exit("expected 6 entries with LZMA among them, got %s %s" % (names, methods))
PY
  if command -v 7zz >/dev/null || command -v 7z >/dev/null; then
    sevenzip=$(command -v 7zz || command -v 7z)
    rm -rf "$work/x$level"
    "$sevenzip" x -y -bd -o"$work/x$level" "$work/lzma$level.zip" >/dev/null
    diff -r "$work/tree" "$work/x$level"
  fi
done
echo "lzma payloads read by zipfile${sevenzip:+ and 7-Zip}"
