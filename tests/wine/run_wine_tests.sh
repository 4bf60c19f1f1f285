#!/usr/bin/env bash
# The end-to-end scripts of tests/e2e under Wine: "Vesk.exe" loads the real
# Chromalet-LIFX.dll, 64-bit and 32-bit, and drives emulated lights on
# loopback (the emulator is the native Linux program). The scripts of
# tests/wine/i686 run with the 32-bit DLL alone: the 64-bit DLL plays each
# too, unchecked, and every light must receive the same bytes from both.
#
#   run_wine_tests.sh --emulator PROGRAM --build-64 DIR --build-32 DIR
#                     --prefix DIR --work DIR [SCRIPT...]
#
# Each build folder holds Vesk.exe and Chromalet-LIFX.dll. The Wine prefix is
# made once, 64-bit, and serves both architectures (32-bit programs run in it
# through WoW64). Where this machine cannot start 32-bit programs,
# tools/i386_emulation.sh has qemu-i386 run them if it can. Prints "PASS:
# NAME" or "FAIL: NAME" for each script and architecture, and "SKIP: NAME"
# for each script of an architecture this machine cannot run, after a line
# saying why; exits non-zero when anything failed. 32-bit Wine is the loader
# CHROMALET_WINE32_LOADER names (./run test sets it, to an i386 root's where
# multiarch could not install wine32:i386), else Debian's wine32:i386: without
# it the 32-bit scripts fail, naming the package, unless
# CHROMALET_WINE32_UNAVAILABLE gives the reason it could not be had (./run
# test sets it): then they are skipped. Runs itself under xvfb-run when there is no display: Wine's
# windows and tray need one.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
emulator='' build64='' build32='' prefix='' work='' scripts=()
while [ $# -gt 0 ]; do
  case $1 in
    --emulator) emulator=$2; shift 2 ;;
    --build-64) build64=$2; shift 2 ;;
    --build-32) build32=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    -*) echo "run_wine_tests.sh: unknown option $1" >&2; exit 2 ;;
    *) scripts+=("$1"); shift ;;
  esac
done
if [ -z "$emulator" ] || [ -z "$prefix" ] || [ -z "$work" ] || { [ -z "$build64" ] && [ -z "$build32" ]; }; then
  echo "usage: run_wine_tests.sh --emulator PROGRAM --build-64 DIR --build-32 DIR --prefix DIR --work DIR [SCRIPT...]" >&2
  exit 2
fi

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" --emulator "$emulator" ${build64:+--build-64 "$build64"} \
    ${build32:+--build-32 "$build32"} --prefix "$prefix" --work "$work" "${scripts[@]}"
fi

absolute() { (cd "$(dirname "$1")" && printf '%s/%s' "$(pwd)" "$(basename "$1")"); }
emulator=$(absolute "$emulator")
mkdir -p "$prefix" "$work"
prefix=$(cd "$prefix" && pwd)
work=$(cd "$work" && pwd)
[ -n "$build64" ] && build64=$(cd "$build64" && pwd)
[ -n "$build32" ] && build32=$(cd "$build32" && pwd)
# Scripts in a folder named i686 are for the 32-bit DLL alone.
if [ ${#scripts[@]} -eq 0 ]; then
  scripts=("$here"/../e2e/*.script "$here"/i686/*.script)
fi
both=() only32=()
for script in "${scripts[@]}"; do
  [ -f "$script" ] || continue
  case $(basename "$(dirname "$script")") in
    i686) only32+=("$script") ;;
    *) both+=("$script") ;;
  esac
done

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Debian's "wine" runs the 32-bit loader first, which cannot start where the
# system runs no 32-bit x86 programs; the 64-bit loader is asked directly.
if [ -x /usr/lib/wine/wine64 ]; then
  wine64=/usr/lib/wine/wine64
elif command -v wine64 >/dev/null; then
  wine64=wine64
else
  wine64=wine
fi
wine32=wine
[ -x /usr/lib/wine/wine ] && wine32=/usr/lib/wine/wine
[ -n "${CHROMALET_WINE32_LOADER:-}" ] && wine32=$CHROMALET_WINE32_LOADER
# An i386 root's loader: the root stays as it is until the suite ends.
. "$here/../../tools/wine32.sh"
hold_i386_root "$wine32"
if [ -x /usr/lib/wine/wineserver ]; then wineserver=/usr/lib/wine/wineserver; else wineserver=wineserver; fi

failed=0
# 32-bit programs start here, at once or through qemu-i386; why_no_32bit
# says why not, and the 32-bit scripts are skipped, or failed where 32-bit
# Wine is missing and nobody said why.
why_no_32bit='' verdict32=SKIP
if [ -n "$build32" ] && [ -z "${CHROMALET_WINE32_LOADER:-}" ] && command -v dpkg-query >/dev/null &&
  ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  if [ -n "${CHROMALET_WINE32_UNAVAILABLE:-}" ]; then
    why_no_32bit="32-bit Wine is not installed: $CHROMALET_WINE32_UNAVAILABLE"
  else
    why_no_32bit="32-bit Wine is not installed: the package wine32:i386 is missing (./run test installs it)"
    verdict32=FAIL
  fi
elif [ -n "$build32" ] && ! why_no_32bit=$(bash "$here/../../tools/i386_emulation.sh" "$wine32" --version); then
  [ -n "$why_no_32bit" ] || why_no_32bit="this machine cannot start 32-bit x86 programs ($wine32 --version fails)"
fi

# Every 32-bit script, not run, with the reason once.
not_run_32bit() {
  local script
  echo "wine-i686: the 32-bit DLL cannot run under Wine here: $why_no_32bit"
  for script in "${both[@]}" "${only32[@]}"; do
    echo "$verdict32: wine-i686 $(basename "$script" .script)"
    [ "$verdict32" = SKIP ] || failed=$((failed + 1))
  done
}
if [ -z "$build64" ] && [ -n "$why_no_32bit" ]; then
  not_run_32bit
  [ "$failed" -eq 0 ]
  exit
fi
if [ -n "$build32" ] && [ -z "$why_no_32bit" ]; then
  bash "$here/../../tools/wine_prefix.sh" "$prefix" --32-bit
else
  bash "$here/../../tools/wine_prefix.sh" "$prefix"
fi

# One server for every run: each host would otherwise start Wine's services
# and desktop anew.
"$wineserver" -p

report() { # passed label name started
  if [ "$1" = 1 ]; then
    echo "PASS: $2 $3 ($((SECONDS - $4)) s)"
  else
    echo "FAIL: $2 $3 ($((SECONDS - $4)) s)"
    failed=$((failed + 1))
  fi
}

play() { # script loader build-dir octet work-dir
  bash "$here/../e2e/run_script.sh" --windows-paths --timeout 120 \
    --script "$1" --emulator "$emulator" --octet "$4" --work "$5" \
    -- "$2" "$3/Vesk.exe" --plugin "Z:$3/Chromalet-LIFX.dll" >/dev/null
}

run_arch() { # label loader build-dir first-octet
  local label=$1 loader=$2 build=$3 octet=$4 script name started
  for script in "${both[@]}"; do
    name=$(basename "$script" .script)
    started=$SECONDS
    if play "$script" "$loader" "$build" "$octet" "$work/$label/$name"; then
      report 1 "$label" "$name" "$started"
    else
      report 0 "$label" "$name" "$started"
    fi
    octet=$((octet + 1))
  done
}

# Each light's datagrams in the order it received them, without the times
# and without the source (header bytes 4 to 7), which each start draws anew;
# a light named by its number, as two plays may take different blocks.
datagrams() { # lights-file
  grep ' hex=' "$1" 2>/dev/null |
    sed -E 's/ at=\+[0-9]*ms//; s/( hex=[0-9a-f]{8})[0-9a-f]{8}/\1--------/; s/^127\.[0-9]+\.[0-9]+\./light /' |
    sort -s -k1,2
}

# The scripts for the 32-bit DLL alone. The 64-bit DLL plays each first, on
# the same octet, its checks ignored: only its datagrams are wanted.
run_i686_only() {
  local octet=200 script name started reference expected ok
  for script in "${only32[@]}"; do
    name=$(basename "$script" .script)
    started=$SECONDS
    reference=$work/wine-x86_64-reference/$name
    play "$script" "$wine64" "$build64" "$octet" "$reference" 2>/dev/null
    expected=$(datagrams "$reference/lights.txt")
    ok=1
    play "$script" "$wine32" "$build32" "$octet" "$work/wine-i686/$name" || ok=0
    if [ -z "$expected" ]; then
      echo "$name: the 64-bit DLL sent no datagram to compare with (see $reference)" >&2
      ok=0
    elif [ "$expected" != "$(datagrams "$work/wine-i686/$name/lights.txt")" ]; then
      echo "$name: the 32-bit DLL's datagrams differ from the 64-bit DLL's (<):" >&2
      diff <(printf '%s\n' "$expected") <(datagrams "$work/wine-i686/$name/lights.txt") |
        head -20 | cut -c1-200 >&2
      ok=0
    fi
    report "$ok" wine-i686 "$name" "$started"
    octet=$((octet + 1))
  done
}

if [ -n "$build64" ]; then
  run_arch wine-x86_64 "$wine64" "$build64" 100
fi
if [ -n "$build32" ]; then
  if [ -z "$why_no_32bit" ]; then
    run_arch wine-i686 "$wine32" "$build32" 150
    if [ ${#only32[@]} -gt 0 ] && [ -z "$build64" ]; then
      echo "FAIL: wine-i686: the scripts of tests/wine/i686 need --build-64 as well"
      failed=$((failed + 1))
    elif [ ${#only32[@]} -gt 0 ]; then
      run_i686_only
    fi
  else
    not_run_32bit
  fi
fi
"$wineserver" -k
"$wineserver" -w
[ "$failed" -eq 0 ]
