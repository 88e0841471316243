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

# Simulates first: apt changes nothing when the simulation fails, so a failed
# attempt leaves the package system as it was.
apt_install() {
  local apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q
    --no-install-recommends)
  "${apt[@]}" -s "$@" >/dev/null 2>&1 && "${apt[@]}" "$@" >/dev/null 2>&1
}

install_packages() {
  "${sudo_cmd[@]}" apt-get update -q >/dev/null 2>&1
  apt_install "$@" || cannot "the packages $* are not installable"
}

# Candidate versions of the given packages (NAME:ARCH), as "NAME VERSION"
# lines for the Multi-Arch: same ones.
same_arch_candidates() {
  apt-cache show --no-all-versions "$@" 2>/dev/null |
    awk '/^Package:/ { p = $2 } /^Version:/ { v = $2 } /^Multi-Arch: same/ { print p, v }'
}

# For each package named, "NAME:amd64=V NAME:i386=V" with V the newest
# version the indexes offer for both architectures (none when they share none).
pins_to_common_versions() {
  local name version arch other args=()
  local -A offered newest
  for name; do args+=("$name:i386" "$name:amd64"); done
  while read -r name version arch; do
    offered[$name $version $arch]=1
    other=i386
    [ "$arch" = i386 ] && other=amd64
    [ -n "${offered[$name $version $other]:-}" ] || continue
    if [ -z "${newest[$name]:-}" ] || dpkg --compare-versions "$version" gt "${newest[$name]}"; then
      newest[$name]=$version
    fi
  done < <(apt-cache madison "${args[@]}" 2>/dev/null |
    awk -F'|' '{ gsub(/ /, "", $1); sub(/:.*/, "", $1); gsub(/ /, "", $2)
                 n = split($3, w, " "); print $1, $2, w[n - 1] }')
  for name in "${!newest[@]}"; do
    echo "$name:amd64=${newest[$name]} $name:i386=${newest[$name]}"
  done | sort
  sibling_pins "${!newest[@]}" "${newest[@]}"
}

# Installed amd64 packages built from the same source as a pinned library
# (its -dev package, say) often require its exact version; apt would remove
# them rather than move them along. Prints NAME:amd64=V for each such package
# that the index offers at the library's pinned version V. Takes the
# libraries' names, then their versions.
sibling_pins() {
  local count=$(($# / 2)) i name source version status
  local -A pinned_source
  for ((i = 1; i <= count; i++)); do
    source=$(dpkg-query -W -f='${source:Package}' "${!i}:amd64" 2>/dev/null) || continue
    pinned_source[$source]=${@:i+count:1}
    pinned_source[${!i}]=skip
  done
  while read -r name source version status; do
    [ "$status" = ii ] && [ -n "${pinned_source[$source]:-}" ] || continue
    [ "${pinned_source[${name%:amd64}]:-}" != skip ] || continue
    version=${pinned_source[$source]}
    apt-cache madison "${name%:amd64}:amd64" 2>/dev/null | grep -q "| *$version *|" &&
      echo "${name%:amd64}:amd64=$version"
  done < <(dpkg-query -W -f='${Package} ${source:Package} ${Version} ${db:Status-Abbrev}\n' 2>/dev/null)
}

# When one architecture's index lags the other (a mirror mid-sync), a
# Multi-Arch: same library installed for amd64 has an i386 candidate of
# another version, and apt refuses the pair. Prints the pins that make each
# such library of wine32's closure one version for both architectures.
lagging_pins() {
  local names installed lagging name version
  local -A amd64
  names=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances wine32:i386 2>/dev/null |
    sed -n 's/^\([a-z0-9][^ <>]*\):i386$/\1/p' | sort -u)
  [ -n "$names" ] || return 0
  installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' $(printf '%s:amd64 ' $names) \
    2>/dev/null | awk '$2 == "ii" { sub(/:amd64$/, "", $1); print $1 ":amd64" }')
  [ -n "$installed" ] || return 0
  while read -r name version; do amd64[$name]=$version; done < <(same_arch_candidates $installed)
  lagging=$(same_arch_candidates $(printf '%s:i386 ' $names) | while read -r name version; do
    [ -n "${amd64[$name]:-}" ] && [ "${amd64[$name]}" != "$version" ] && echo "$name"
  done)
  [ -z "$lagging" ] || pins_to_common_versions $lagging
}

# wine32:i386, and when the plain install fails, once more with the lagging
# libraries pinned to versions both architectures have.
install_wine32() {
  local pins auto
  "${sudo_cmd[@]}" apt-get update -q >/dev/null 2>&1
  apt_install wine32:i386 && return 0
  mapfile -t pins < <(lagging_pins | tr ' ' '\n')
  [ ${#pins[@]} -gt 0 ] || cannot "the packages wine32:i386 are not installable"
  echo "the i386 index lags the amd64 one: pinning ${pins[*]}"
  # Pinned by name, apt would mark the amd64 libraries as installed by hand.
  auto=$(apt-mark showauto $(printf '%s\n' "${pins[@]}" | sed -n 's/:amd64=.*/:amd64/p') 2>/dev/null)
  apt_install --allow-downgrades wine32:i386 "${pins[@]}" ||
    cannot "the packages wine32:i386 are not installable, not even with ${pins[*]}"
  [ -z "$auto" ] || "${sudo_cmd[@]}" apt-mark auto $auto >/dev/null 2>&1 || true
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
    # A failed attempt takes the architecture away again.
    trap '"${sudo_cmd[@]}" dpkg --remove-architecture i386 2>/dev/null' EXIT
  fi
  install_wine32
  trap - EXIT
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
