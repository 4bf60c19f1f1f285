# shellcheck shell=bash
# Which 32-bit Wine runs the 32-bit DLL. Sourced by ./run after
# tools/packages.sh; not a program of its own.
#
#   obtain_wine32  sets WINE32_LOADER, the 32-bit Wine loader, and returns 0;
#                  or returns 1, both reasons in WINE32_UNAVAILABLE
#
# Either way WINE32_WAY says in one line which way it was obtained, or why
# none. The machine's own wine32:i386 comes first; where multiarch cannot
# install it, a separate i386 root (tools/i386_root.sh) holds one, kept from
# a rebuild for as long as the shell that obtained it runs.

WINE32_PACKAGES="wine32:i386"
WINE32_LOADER=''
WINE32_WAY=''
WINE32_UNAVAILABLE=''

# Prints the i386 root's loader, or why there is none.
i386_root_loader() {
  bash "$(dirname "${BASH_SOURCE[0]}")/i386_root.sh"
}

# Keeps the i386 root of this loader from being replaced while this shell,
# and what it starts, use it: the root's lock, shared, held until the shell
# ends. Nothing for a loader outside a root.
hold_i386_root() { # loader
  local folder
  folder=$(dirname "$1")
  case $1 in /*) [ -f "$folder/lock" ] && [ -d "$folder/root" ] || return 0 ;; *) return 0 ;; esac
  exec {I386_ROOT_LOCK}<"$folder/lock" && flock -s "$I386_ROOT_LOCK"
}

obtain_wine32() {
  local multiarch why
  if want_packages $WINE32_PACKAGES; then
    WINE32_LOADER=/usr/lib/wine/wine
    WINE32_WAY="32-bit Wine: the machine's own $WINE32_PACKAGES"
    return 0
  fi
  multiarch=$APT_INSTALL_ERROR
  packages_say "$WINE32_PACKAGES could not be installed here ($multiarch): trying 32-bit Wine in a separate i386 root"
  if ! want_packages debootstrap; then
    why="debootstrap could not be installed: $APT_INSTALL_ERROR"
  elif why=$(i386_root_loader); then
    WINE32_LOADER=$why
    hold_i386_root "$WINE32_LOADER"
    WINE32_WAY="32-bit Wine: the i386 root in $(dirname "$WINE32_LOADER"), as $WINE32_PACKAGES could not be installed here"
    return 0
  fi
  APT_INSTALL_ERROR=$multiarch
  WINE32_UNAVAILABLE="$WINE32_PACKAGES could not be installed ($multiarch), nor 32-bit Wine made in an i386 root (${why:-no reason given})"
  WINE32_WAY="32-bit Wine: none, $WINE32_UNAVAILABLE"
  return 1
}
