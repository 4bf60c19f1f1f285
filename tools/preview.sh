#!/usr/bin/env bash
# Builds what the preview needs and runs it: the Chromalet-LIFX plug-in in the
# stand-in host program, driving ten emulated LIFX lights on loopback, shown
# live in a terminal (or as plain lines for a script, or the built-in tour).
#
#   tools/preview.sh [--windows [--arch x64|x86]] [PREVIEW OPTIONS...]
#
# The plug-in folder is .preview/plugin under the repository root, kept
# between runs (--plugin-dir DIR for another; a preview started while another
# uses the folder runs in a temporary one). With --windows the real DLL
# runs in "Vesk.exe" under Wine (a display from xvfb-run, a Wine prefix of its
# own under the build folder); the emulated lights stay native.
# chromalet-preview --help (or this script's --help) lists the other options.
#
# Needs: cmake, ninja-build, g++, libgtest-dev; for --windows also the MinGW-w64
# compilers (g++-mingw-w64-x86-64-posix, g++-mingw-w64-i686-posix,
# binutils-mingw-w64), wine, wine64, xvfb and xauth (and wine32:i386 for
# --arch x86, with qemu-i386 where this machine cannot start 32-bit programs:
# tools/i386_emulation.sh). ./run preview installs them.
# CHROMALET_BUILD_DIR names the native build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${CHROMALET_BUILD_DIR:-build}
jobs=$(nproc 2>/dev/null || echo 2)

windows=0 arch=x86_64 args=() explicit_folder=0 help=0
while [ $# -gt 0 ]; do
  case $1 in
    --windows) windows=1; shift ;;
    --arch)
      [ $# -ge 2 ] || { echo "preview.sh: --arch needs x64 or x86" >&2; exit 2; }
      case $2 in
        x64 | x86_64 | amd64) arch=x86_64 ;;
        x86 | i686 | i386 | win32) arch=i686 ;;
        *) echo "preview.sh: --arch takes x64 or x86, not $2" >&2; exit 2 ;;
      esac
      shift 2 ;;
    --plugin-dir) explicit_folder=1; args+=("$1"); shift ;;
    # A home keeps a plug-in folder of its own, .preview/homes/NAME.
    --home | --light) explicit_folder=1; args+=("$1"); shift ;;
    -h | --help) help=1; shift ;;
    *) args+=("$1"); shift ;;
  esac
done

say() { printf '== %s\n' "$*" >&2; }

missing=()
for tool in cmake ninja g++; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "preview.sh: missing ${missing[*]}: ./run preview installs what is needed" >&2
  exit 1
fi

# The native build: the preview, the host program and the plug-in module.
say "building the preview in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
ninja -C "$build" -j "$jobs" chromalet-preview vesk-host chromalet_plugin >&2

if [ "$help" = 1 ]; then
  cat <<'USAGE'
tools/preview.sh [--windows [--arch x64|x86]] [OPTIONS...]
  --windows           the real DLL in Vesk.exe under Wine (64-bit; --arch x86 for
                      the 32-bit DLL, through qemu-i386 where this machine cannot
                      start 32-bit programs itself)

USAGE
  exec "$build/chromalet-preview" --help
fi

[ "$explicit_folder" = 1 ] || args=(--plugin-dir "$root/.preview/plugin" "${args[@]}")

if [ "$windows" = 0 ]; then
  exec "$build/chromalet-preview" "${args[@]}"
fi

# The Windows build, as ./run dll makes it.
winbuild=${build}-win-$arch
[ "$build" = build ] && winbuild=build-win-$arch
for tool in "$arch-w64-mingw32-g++-posix" xvfb-run wine; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "preview.sh: --windows needs ${missing[*]}: ./run preview --windows installs them" >&2
  exit 1
fi
say "building Chromalet-LIFX.dll and Vesk.exe ($arch) in $winbuild"
cmake -S "$root" -B "$winbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" >/dev/null
ninja -C "$winbuild" -j "$jobs" Chromalet-LIFX vesk_host_win >&2
winbuild=$(cd "$winbuild" && pwd)

# Debian's "wine" tries the 32-bit loader first; the 64-bit one is asked
# directly, and the 32-bit one only for the 32-bit DLL.
if [ -x /usr/lib/wine/wine64 ]; then wine64=/usr/lib/wine/wine64
elif command -v wine64 >/dev/null; then wine64=$(command -v wine64)
else wine64=$(command -v wine); fi
wine32=$(command -v wine)
[ -x /usr/lib/wine/wine ] && wine32=/usr/lib/wine/wine
# ./run preview names an i386 root's where multiarch has no wine32:i386.
[ -n "${CHROMALET_WINE32_LOADER:-}" ] && wine32=$CHROMALET_WINE32_LOADER
if [ -x /usr/lib/wine/wineserver ]; then wineserver=/usr/lib/wine/wineserver
else wineserver=$(command -v wineserver || echo wineserver); fi
loader=$wine64 label="Windows x64 DLL in Wine" prefix_options=()
if [ "$arch" = i686 ]; then
  loader=$wine32 label="Windows x86 DLL in Wine" prefix_options=(--32-bit)
  # An i386 root's loader: the root stays as it is while the preview runs.
  . tools/wine32.sh
  hold_i386_root "$wine32"
  if [ -z "${CHROMALET_WINE32_LOADER:-}" ] && command -v dpkg-query >/dev/null &&
    ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "preview.sh: --arch x86 needs 32-bit Wine, the package wine32:i386, which is not installed (./run preview --windows --arch x86 installs it); --arch x64 runs the 64-bit DLL." >&2
    exit 1
  fi
  # Where this machine cannot start 32-bit programs, qemu-i386 may.
  if ! why=$(tools/i386_emulation.sh --dir "$build/qemu" "$wine32" --version); then
    echo "preview.sh: the 32-bit DLL cannot run under Wine here: ${why:-$wine32 --version fails}; --arch x64 can." >&2
    exit 1
  fi
fi

export WINEPREFIX=$(cd "$build" && pwd)/wine-preview
export WINESERVER_PROGRAM=$wineserver
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine_prefix.sh "$WINEPREFIX" "${prefix_options[@]}"

dll="Z:$(printf '%s' "$winbuild/Chromalet-LIFX.dll" | tr / '\\')"
# Wine needs a display (xvfb-run gives one); the preview adds --plugin-dir and
# --style to the host's arguments, so the wrapper passes all of them on, then
# waits for Wine's server to finish.
exec "$build/chromalet-preview" "${args[@]}" --windows-paths --host-label "$label" \
  --start-seconds 180 -- \
  xvfb-run -a sh -c '"$@"; status=$?; "$WINESERVER_PROGRAM" -w; exit $status' sh \
  "$loader" "$winbuild/Vesk.exe" --plugin "$dll"
