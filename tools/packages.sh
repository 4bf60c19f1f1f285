# shellcheck shell=bash
# Installs the Debian packages the project's commands need. Sourced by ./run
# (and, for apt_update, by tools/i386_emulation.sh); not a program of its own.
#
#   need_packages PACKAGE...  installs the missing ones; exits 1 when it cannot
#   want_packages PACKAGE...  the same for packages only part of the suite needs:
#                             returns 1 when apt-get cannot install them, with
#                             its reason in APT_INSTALL_ERROR
#
# A package mirror caught while it syncs serves some index of the wrong size
# ("File has unexpected size ... Mirror sync in progress?") for minutes or
# hours. apt-get update is tried three times, CHROMALET_APT_PAUSE seconds
# apart (default 20), and the install goes on with the indexes there are:
# only the install tells whether they will do. APT_INDEX_ERRORS keeps what the
# last update could not fetch.

APT_INDEX_ERRORS=''
APT_INSTALL_ERROR=''
apt_updated=0

packages_say() { printf '== %s\n' "$*" >&2; }

# Prints the packages named that are not installed, one a line.
missing_packages() {
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || printf '%s\n' "$pkg"
  done
}

# apt-get [OPTION...] update, up to three tries. Returns 1 when every try
# left some index unfetched.
apt_update() {
  local try log status=1
  log=$(mktemp)
  for try in 1 2 3; do
    if apt-get "$@" update -qq >"$log" 2>&1; then
      APT_INDEX_ERRORS=''
      status=0
      break
    fi
    APT_INDEX_ERRORS=$(grep -E '^(E|W|Err):' "$log" | grep -v 'Some index files failed to download' | head -3)
    [ -n "$APT_INDEX_ERRORS" ] || APT_INDEX_ERRORS=$(tail -n 1 "$log")
    if [ "$try" -lt 3 ]; then
      packages_say "apt-get update could not fetch every index (try $try of 3); again in ${CHROMALET_APT_PAUSE:-20} s"
      sleep "${CHROMALET_APT_PAUSE:-20}"
    fi
  done
  rm -f "$log"
  if [ "$status" -ne 0 ]; then
    packages_say "apt-get update still fails after 3 tries; going on with the indexes it has:"
    printf '   %s\n' "$APT_INDEX_ERRORS" | cut -c1-300 >&2
  fi
  return "$status"
}

# Root, the i386 architecture where an i386 package is wanted, and package
# lists: once a run, and again after the architecture is added.
prepare_install() { # package...
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get install -y $*" >&2
    exit 1
  fi
  if printf '%s\n' "$@" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt_updated=0
  fi
  if [ "$apt_updated" = 0 ]; then
    apt_update || true
    apt_updated=1
  fi
}

need_packages() {
  local missing
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  prepare_install "${missing[@]}"
  packages_say "installing ${missing[*]}"
  if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2; then
    echo "apt-get could not install ${missing[*]}, which this command needs." >&2
    [ -z "$APT_INDEX_ERRORS" ] || printf 'apt-get update had failed:\n%s\n' "$APT_INDEX_ERRORS" >&2
    exit 1
  fi
}

want_packages() {
  local missing log
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  prepare_install "${missing[@]}"
  packages_say "installing ${missing[*]}"
  log=$(mktemp)
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  APT_INSTALL_ERROR=$(grep -E '^E:' "$log" | head -1)
  [ -n "$APT_INSTALL_ERROR" ] || APT_INSTALL_ERROR=$(grep -v '^ *$' "$log" | tail -n 1)
  [ -n "$APT_INSTALL_ERROR" ] || APT_INSTALL_ERROR="apt-get install failed with no message"
  rm -f "$log"
  return 1
}

# Says, in one block, that want_packages could not install PACKAGES and what
# follows from it.
explain_unavailable() { # packages consequence
  {
    echo "== $1 could not be installed: $2."
    echo "   apt-get install $1: $APT_INSTALL_ERROR"
    [ -z "$APT_INDEX_ERRORS" ] || printf '   apt-get update could not fetch:\n%s\n' "$(printf '%s\n' "$APT_INDEX_ERRORS" | sed 's/^/     /' | cut -c1-300)"
    echo "   This is the state of the Debian package mirror (or of this machine's package sources), not a fault"
    echo "   of this project; a mirror caught while it syncs is whole again within hours."
  } >&2
}
