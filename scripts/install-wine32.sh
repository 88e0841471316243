#!/usr/bin/env bash
# Prepares 32-bit Wine when it is missing: the i386 architecture and
# wine32:i386; where the kernel runs no 32-bit programs itself, also qemu-user
# and a binfmt_misc entry that hands i386 ELF files to qemu-i386 (mounting
# binfmt_misc where it is not mounted). Does nothing when all of it is there.
# When the machine cannot, says why in one line and ends with 1. See
# DEVELOPERS.md.
set -uo pipefail
qemu=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
entry=tolvanex-i386
# The ELF header of an i386 executable or shared object: class 32-bit,
# little endian, machine 3.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

cannot() {
  echo "32-bit Wine cannot run on this machine: $*"
  exit 1
}

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

# Any enabled entry for i386 ELF files will do: ours, or one that
# qemu-user-binfmt or binfmt-support registered.
i386_entry_enabled() {
  local file
  for file in "$binfmt"/*; do
    case $(basename "$file") in register | status) continue ;; esac
    grep -qx enabled "$file" 2>/dev/null &&
      grep -q '^magic 7f454c4601010100000000000000000002000300' "$file" && return 0
  done
  return 1
}

install_packages() {
  "${sudo_cmd[@]}" apt-get update -q >/dev/null 2>&1
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends \
    "$@" >/dev/null 2>&1 || cannot "the packages $* are not installable"
}

# Whether the kernel starts 32-bit programs at all, by itself or through an
# entry: a 32-bit program from wine32 that only prints its version.
runs_32bit() {
  [ -x /usr/lib/wine/wine ] && env -u QEMU_CPU timeout 300 /usr/lib/wine/wine --version >/dev/null 2>&1
}

if ! installed wine32:i386; then
  echo "installing: wine32:i386"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386 || cannot "dpkg does not take the i386 architecture"
  fi
  install_packages wine32:i386
fi
# Kernels with 32-bit support run the programs themselves.
runs_32bit && exit 0

if ! installed qemu-user; then
  echo "installing: qemu-user"
  install_packages qemu-user
fi
if [ ! -f "$binfmt/status" ]; then
  "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
    cannot "binfmt_misc is not available (mounting it at $binfmt failed)"
fi
if ! i386_entry_enabled; then
  # F opens qemu now, so that the entry works inside other mount namespaces;
  # O and C let it run programs that are only executable, with their rights.
  printf ':%s:M::%s:%s:%s:OCF\n' "$entry" "$magic" "$mask" "$qemu" |
    "${sudo_cmd[@]}" tee "$binfmt/register" >/dev/null 2>&1 ||
    cannot "the binfmt_misc entry for i386 programs cannot be registered"
fi
runs_32bit || cannot "32-bit programs do not start, not even through $qemu"
