#!/usr/bin/env bash
# Lets this machine start 32-bit x86 programs where it cannot by itself (some
# virtual machines' kernels run no 32-bit code): qemu-i386, user-mode
# emulation, is unpacked from the qemu-user package of the Debian release's
# backports suite into a folder of the build and registered with the kernel's
# binfmt_misc for i386 programs. Debian's own qemu of this release works too,
# but takes most of a minute to start each Wine process.
#
#   i386_emulation.sh [--dir DIR] PROGRAM [ARGUMENT...]
#
# PROGRAM, a 32-bit program, is run with its arguments to learn whether
# 32-bit programs start. Exits 0 when it starts, at once or after the set-up;
# otherwise prints why not and what to do, on one line of standard output,
# and exits 1. Where the program starts already, nothing is changed. The
# machine's package sources are never changed: the backports suite is read
# through a sources file and package lists of a temporary folder. DIR (default
# build/qemu) keeps qemu-i386 for later runs; the handler is registered with
# flag F, so the kernel holds the binary open and the folder may be cleaned.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build/qemu
if [ "${1:-}" = --dir ] && [ $# -ge 2 ]; then
  dir=$2
  shift 2
fi
if [ $# -eq 0 ]; then
  echo "usage: i386_emulation.sh [--dir DIR] PROGRAM [ARGUMENT...]" >&2
  exit 2
fi

. "$root/tools/packages.sh"
binfmt=/proc/sys/fs/binfmt_misc
handler=chromalet-i386
say() { printf '== %s\n' "$*" >&2; }
starts() { "$@" >/dev/null 2>&1 </dev/null; }

starts "$@" && exit 0

if [ "$(uname -m)" != x86_64 ]; then
  echo "this machine ($(uname -m)) cannot start 32-bit x86 programs, and qemu-i386 is set up here only on x86_64"
  exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "this machine cannot start 32-bit x86 programs, and only root can have qemu-i386 run them: run once as root \"sudo $root/tools/i386_emulation.sh $*\" (or ./run test as root)"
  exit 1
fi

if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" >/dev/null 2>&1
  if [ ! -e "$binfmt/register" ]; then
    echo "this machine cannot start 32-bit x86 programs, and its kernel offers no binfmt_misc to hand them to qemu-i386 (mounting it on $binfmt failed): load it (modprobe binfmt_misc) and run this again, or use a machine that runs 32-bit x86 programs"
    exit 1
  fi
fi
if [ "$(cat "$binfmt/status" 2>/dev/null)" = disabled ]; then
  echo 1 >"$binfmt/status"
fi

# Fetches qemu-i386 and the package's binfmt line into $dir.
fetch_qemu() {
  local codename site temporary deb options
  codename=$(. /etc/os-release && printf '%s' "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { echo "no VERSION_CODENAME in /etc/os-release"; return 1; }
  # The machine's own mirror for its release, as its package sources name it
  # (the package lists must be there for apt-get to tell).
  mirror() { apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
    awk -v release="$codename" '$2 == release { print $1; exit }'; }
  site=$(mirror)
  if [ -z "$site" ]; then
    apt-get update -qq >/dev/null 2>&1
    site=$(mirror)
  fi
  [ -n "$site" ] || { echo "the package sources name no mirror for $codename"; return 1; }

  temporary=$(mktemp -d)
  # apt-get's download user must reach the folder.
  chmod 755 "$temporary"
  mkdir -p "$temporary/lists/partial" "$temporary/cache" "$temporary/parts" "$temporary/unpacked"
  local keyring=''
  [ -f /usr/share/keyrings/debian-archive-keyring.gpg ] &&
    keyring=" signed-by=/usr/share/keyrings/debian-archive-keyring.gpg"
  printf 'deb [arch=amd64%s] %s %s-backports main\n' "$keyring" "$site" "$codename" >"$temporary/sources.list"
  options=(-o "Dir::Etc::SourceList=$temporary/sources.list" -o "Dir::Etc::SourceParts=$temporary/parts"
    -o "Dir::State::Lists=$temporary/lists" -o "Dir::Cache=$temporary/cache"
    -o "APT::Architectures::=amd64")
  say "fetching qemu-user from $codename-backports (a temporary sources file)"
  # A mirror caught while it syncs fails the update now and then: the
  # download tells whether the index there is will do.
  apt_update "${options[@]}" || true
  if ! (cd "$temporary" && apt-get "${options[@]}" download qemu-user >"$temporary/log" 2>&1); then
    echo "apt-get could not fetch qemu-user from $codename-backports: $(grep -E '^(E|Err):' "$temporary/log" | head -1)${APT_INDEX_ERRORS:+ (apt-get update: $(head -1 <<<"$APT_INDEX_ERRORS"))}"
    rm -rf "$temporary"
    return 1
  fi
  deb=$(ls "$temporary"/qemu-user_*.deb)
  if ! dpkg-deb --fsys-tarfile "$deb" |
    tar -x -C "$temporary/unpacked" ./usr/bin/qemu-i386 ./usr/share/qemu/binfmt.d/qemu-i386.conf; then
    echo "$(basename "$deb") holds no qemu-i386"
    rm -rf "$temporary"
    return 1
  fi
  mkdir -p "$dir"
  cp "$temporary/unpacked/usr/bin/qemu-i386" "$dir/qemu-i386"
  cp "$temporary/unpacked/usr/share/qemu/binfmt.d/qemu-i386.conf" "$dir/qemu-i386.conf"
  rm -rf "$temporary"
}

if ! [ -x "$dir/qemu-i386" ] || ! [ -f "$dir/qemu-i386.conf" ] || ! starts "$dir/qemu-i386" --version; then
  if ! why=$(fetch_qemu); then
    echo "this machine cannot start 32-bit x86 programs, and $why"
    exit 1
  fi
fi
dir=$(cd "$dir" && pwd)

# The package's own line gives the i386 ELF header's magic and mask; the
# handler is this project's, pointing at the binary in $dir. A handler of that
# name that is there already does not work (the program did not start), so
# it goes first.
IFS=: read -r _ _ _ _ magic mask _ <"$dir/qemu-i386.conf"
[ -e "$binfmt/$handler" ] && echo -1 >"$binfmt/$handler"
if ! printf ':%s:M::%s:%s:%s:F' "$handler" "$magic" "$mask" "$dir/qemu-i386" >"$binfmt/register" 2>/dev/null; then
  # Another run may have registered it in the meantime: the test below tells.
  :
fi
if ! starts "$@"; then
  echo "this machine cannot start 32-bit x86 programs, and does not even through qemu-i386 registered with binfmt_misc ($binfmt/$handler): $1 fails"
  exit 1
fi
say "32-bit x86 programs start through $dir/qemu-i386 ($("$dir/qemu-i386" --version | head -1))"
exit 0
