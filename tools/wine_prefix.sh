#!/usr/bin/env bash
# Makes a 64-bit Wine prefix once and, with --32-bit, sees that it has its
# 32-bit half (the programs and libraries in syswow64) as well.
#
#   wine_prefix.sh PREFIX [--32-bit]
#
# A prefix made while this machine could not start 32-bit programs has an
# empty syswow64, and every 32-bit program then fails in it ("could not load
# kernel32.dll", exit status 53). Such a prefix is completed by an update
# through the 64-bit loader; failing that, it is made anew. Use --32-bit only
# where 32-bit programs start (tools/i386_emulation.sh). Exits non-zero when
# the prefix could not be made or completed.
set -uo pipefail

prefix=${1:-}
want32=0
[ "${2:-}" = --32-bit ] && want32=1
if [ -z "$prefix" ]; then
  echo "usage: wine_prefix.sh PREFIX [--32-bit]" >&2
  exit 2
fi

# Debian's "wine" runs the 32-bit loader; the 64-bit one is asked directly.
if [ -x /usr/lib/wine/wine64 ]; then wine64=/usr/lib/wine/wine64
elif command -v wine64 >/dev/null; then wine64=wine64
else wine64=wine; fi
if [ -x /usr/lib/wine/wineserver ]; then wineserver=/usr/lib/wine/wineserver; else wineserver=wineserver; fi

mkdir -p "$prefix"
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
say() { printf '== %s\n' "$*" >&2; }

create() {
  say "creating the Wine prefix $WINEPREFIX"
  WINEARCH=win64 "$wine64" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
}
has_32bit_half() { [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; }

[ -f "$WINEPREFIX/system.reg" ] || create
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine_prefix.sh: Wine could not make the prefix $WINEPREFIX" >&2
  exit 1
fi
[ "$want32" = 1 ] || exit 0
has_32bit_half && exit 0

# The update installs the 32-bit half from a 32-bit process, which can load
# kernel32 from the empty syswow64 only in Wine's bootstrap mode: Wine's
# loader sets it when it updates a prefix of its own accord, but not for a
# wineboot asked for by name, which would then leave the prefix as it was.
# The 64-bit Wine starts only the 32-bit loader beside it: one from elsewhere
# (CHROMALET_WINE32_LOADER, an i386 root's) installs the half itself.
loader32=${CHROMALET_WINE32_LOADER:-}
if [ -n "$loader32" ] && [ "$loader32" != /usr/lib/wine/wine ]; then
  say "adding the 32-bit half to the Wine prefix $WINEPREFIX with $loader32"
  WINEBOOTSTRAPMODE=update "$loader32" 'C:\windows\syswow64\rundll32.exe' \
    setupapi,InstallHinfSection Wow64Install 128 '\\?\unix/usr/share/wine/wine.inf' >/dev/null 2>&1
  timeout 300 "$wineserver" -w || "$wineserver" -k
  has_32bit_half && exit 0
  echo "wine_prefix.sh: $loader32 could not add the 32-bit half to $WINEPREFIX (no syswow64/kernel32.dll)" >&2
  exit 1
fi
say "adding the 32-bit half to the Wine prefix $WINEPREFIX"
WINEBOOTSTRAPMODE=update "$wine64" wineboot -u >/dev/null 2>&1
"$wineserver" -w
has_32bit_half && exit 0

say "the update left the prefix without its 32-bit half: making it anew"
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
create
has_32bit_half && exit 0
echo "wine_prefix.sh: the new prefix $WINEPREFIX has no 32-bit half either (no syswow64/kernel32.dll)" >&2
exit 1
