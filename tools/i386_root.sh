#!/usr/bin/env bash
# 32-bit Wine where wine32:i386 cannot be installed next to the machine's own
# 64-bit packages (a mirror whose i386 security index is broken leaves the
# two architectures at different versions, which multiarch refuses): a
# separate i386 Debian root, made by debootstrap from the release's main
# suite, with wine32 installed in it from main and updates. Its programs run
# through the qemu-i386 handler of tools/i386_emulation.sh, which finds their
# libraries in the root (QEMU_LD_PREFIX); the 64-bit Wine stays the machine's.
#
#   i386_root.sh [--cache DIR]
#
# Made once per machine in DIR (default /var/cache/chromalet-i386-root, or
# CHROMALET_I386_ROOT), and made anew when the recipe below changes: beside
# the old root, which stays in place until the new one starts 32-bit Wine, so
# a failed rebuild leaves it as it was. Whoever uses the root holds DIR/lock
# shared meanwhile (hold_i386_root in tools/wine32.sh); the switch to a new
# root takes it exclusively, so waits for them. Prints the 32-bit loader to
# run (DIR/wine) and exits 0; otherwise prints why not on one line and exits 1. Building needs root, and so does registering the
# qemu-i386 handler again after a reboot; using a built root does not.
# Nothing of the machine's own packages or sources changes: the mirror is the
# one its package sources name, and every index is checked against Debian's
# keyring.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache=${CHROMALET_I386_ROOT:-/var/cache/chromalet-i386-root}
[ "${1:-}" = --cache ] && [ $# -ge 2 ] && cache=$2
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
say() { printf '== %s\n' "$*" >&2; }

# The recipe: the root in $1 from $2, the mirror, for release $3. The first
# stage only fetches and unpacks; the rest runs in the root, its i386
# programs through qemu-i386, in a mount namespace of its own so that nothing
# mounted there outlives it. Its 32-bit Wine starts the machine's 64-bit
# loader for 64-bit programs (the services of a 64-bit prefix), as it would
# beside it in /usr/lib/wine.
build_root() { # folder mirror codename
  local new=$1 mirror=$2 codename=$3
  debootstrap --arch=i386 --foreign --variant=minbase --keyring="$keyring" "$codename" "$new" "$mirror" >&2 ||
    { echo "debootstrap could not fetch the i386 root of $codename from $mirror"; return 1; }
  bash "$root/tools/i386_emulation.sh" --dir "$cache/qemu" chroot "$new" /bin/true || return 1
  printf 'deb [signed-by=%s] %s %s main\ndeb [signed-by=%s] %s %s-updates main\n' \
    "$keyring" "$mirror" "$codename" "$keyring" "$mirror" "$codename" >"$new/etc/apt/sources.list"
  cp /etc/resolv.conf "$new/etc/resolv.conf"
  unshare --mount --propagation private sh -c '
    chroot "$1" /debootstrap/debootstrap --second-stage >&2 ||
      { echo "the second stage of debootstrap failed in $1 (see $1/debootstrap/debootstrap.log)"; exit 1; }
    mount -t proc proc "$1/proc"
    chroot "$1" apt-get update -qq >&2 || { echo "apt-get update failed in the i386 root"; exit 1; }
    chroot "$1" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine32 >&2 ||
      { echo "apt-get could not install wine32 in the i386 root"; exit 1; }
    chroot "$1" apt-get clean' sh "$new" || return 1
  ln -s /usr/lib/wine/wine64 "$new/usr/lib/wine/wine64"
}

# The loader to run: the root's 32-bit Wine, its libraries found in the root.
# A program that finds no Wine server starts the machine's 64-bit one, which
# a 64-bit prefix needs.
write_loader() {
  cat >"$loader" <<LOADER
#!/bin/sh
# 32-bit Wine of the i386 root beside this file. Written by tools/i386_root.sh.
export QEMU_LD_PREFIX=$cache/root
export WINESERVER=\${WINESERVER:-/usr/lib/wine/wineserver}
exec $cache/root/usr/lib/wine/wine "\$@"
LOADER
  chmod 755 "$loader"
}

cache=$(realpath -m "$cache")
loader=$cache/wine
recipe=$( (declare -f build_root write_loader; . /etc/os-release; echo "${VERSION_CODENAME:-}") | sha256sum | cut -d' ' -f1)

# A root of this recipe is there: it serves once 32-bit programs start.
usable() {
  [ "$(cat "$cache/recipe" 2>/dev/null)" = "$recipe" ] && [ -x "$loader" ] || return 1
  why=$(bash "$root/tools/i386_emulation.sh" --dir "$cache/qemu" "$loader" --version) && return 0
  echo "$why"
  exit 1
}
# Looked at under the users' lock, so never halfway through a switch.
if [ -e "$cache/lock" ] && exec 8<"$cache/lock"; then
  flock -s 8
fi
usable && { echo "$loader"; exit 0; }
exec 8<&-

if [ "$(id -u)" -ne 0 ]; then
  echo "only root can build the i386 root with 32-bit Wine in $cache: run ./run test as root"
  exit 1
fi
for tool in debootstrap unshare chroot; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (./run test installs debootstrap)"; exit 1; }
done
codename=$(. /etc/os-release && printf '%s' "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "no VERSION_CODENAME in /etc/os-release"; exit 1; }
# The machine's own mirror for its release, as its package sources name it.
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
  awk -v release="$codename" '$2 == release { print $1; exit }')
[ -n "$mirror" ] || { echo "the package sources name no mirror for $codename"; exit 1; }
[ -f "$keyring" ] || { echo "$keyring is missing (the package debian-archive-keyring)"; exit 1; }

mkdir -p "$cache"
# One builder at a time; the users' lock is not held while building.
exec 9>"$cache/build.lock"
flock 9
# Another run may have built it meanwhile.
usable && { echo "$loader"; exit 0; }
say "building the i386 root with 32-bit Wine in $cache/new (once per machine; a few minutes)"
started=$SECONDS
# Nothing is mounted in the root outside the build's own namespace.
rm -rf "$cache/new" "$cache/old" "$cache/new.wine"
# A rebuild that fails leaves the old root as it was; it serves this run, said
# so, if it still starts 32-bit Wine.
failed() { # why
  rm -rf "$cache/new" "$cache/new.wine"
  if [ -x "$loader" ] && bash "$root/tools/i386_emulation.sh" --dir "$cache/qemu" "$loader" --version >/dev/null; then
    say "the i386 root could not be made anew ($1): the old one in $cache/root serves"
    echo "$loader"
    exit 0
  fi
  echo "$1"
  exit 1
}
why=$(build_root "$cache/new" "$mirror" "$codename") || failed "${why:-building the i386 root failed}"
# Tried before it replaces anything.
printf '#!/bin/sh\nexport QEMU_LD_PREFIX=%s\nexec %s "$@"\n' "$cache/new" \
  "$cache/new/usr/lib/wine/wine" >"$cache/new.wine"
chmod 755 "$cache/new.wine"
why=$(bash "$root/tools/i386_emulation.sh" --dir "$cache/qemu" "$cache/new.wine" --version) ||
  failed "the new i386 root does not start 32-bit Wine (${why:-its wine --version fails})"
rm -f "$cache/new.wine"
exec 8>"$cache/lock"
if ! flock -n 8; then
  say "waiting for the runs using the old i386 root in $cache to end"
  flock 8
fi
[ -e "$cache/root" ] && mv "$cache/root" "$cache/old"
mv "$cache/new" "$cache/root"
write_loader
echo "$recipe" >"$cache/recipe"
flock -s 8
rm -rf "$cache/old"
say "the i386 root is built in $((SECONDS - started)) s"
usable && { echo "$loader"; exit 0; }
