#!/usr/bin/env bash
# The end-to-end scripts of tests/e2e under Wine: "Vesk.exe" loads the real
# Chromalet-LIFX.dll, 64-bit and 32-bit, and drives emulated lights on
# loopback (the emulator is the native Linux program).
#
#   run_wine_tests.sh --emulator PROGRAM --build-64 DIR --build-32 DIR
#                     --prefix DIR --work DIR [SCRIPT...]
#
# Each build folder holds Vesk.exe and Chromalet-LIFX.dll. The Wine prefix is
# made once, 64-bit, and serves both architectures (32-bit programs run in it
# through WoW64). Prints "PASS: NAME" or "FAIL: NAME" for each script and
# architecture, and "SKIP: ..." for an architecture this machine cannot run;
# exits non-zero when anything failed. Runs itself under xvfb-run when there
# is no display: Wine's windows and tray need one.
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
if [ ${#scripts[@]} -eq 0 ]; then
  scripts=("$here"/../e2e/*.script)
fi

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
if [ -x /usr/lib/wine/wineserver ]; then wineserver=/usr/lib/wine/wineserver; else wineserver=wineserver; fi

can_run_32bit() {
  "$wine32" --version >/dev/null 2>&1
}

# The prefix is made once; after wine32 arrives it is updated so that its
# 32-bit half exists.
if [ ! -f "$prefix/system.reg" ]; then
  echo "== creating the Wine prefix $prefix" >&2
  WINEARCH=win64 "$wine64" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
fi
if can_run_32bit && [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "== adding the 32-bit half to the Wine prefix" >&2
  "$wine64" wineboot -u >/dev/null 2>&1
  "$wineserver" -w
fi

# One server for every run: each host would otherwise start Wine's services
# and desktop anew.
"$wineserver" -p

failed=0
run_arch() { # label loader build-dir first-octet
  local label=$1 loader=$2 build=$3 octet=$4 script name started
  for script in "${scripts[@]}"; do
    name=$(basename "$script" .script)
    started=$SECONDS
    if bash "$here/../e2e/run_script.sh" --windows-paths --timeout 120 \
      --script "$script" --emulator "$emulator" --octet "$octet" --work "$work/$label/$name" \
      -- "$loader" "$build/Vesk.exe" --plugin "Z:$build/Chromalet-LIFX.dll" >/dev/null; then
      echo "PASS: $label $name ($((SECONDS - started)) s)"
    else
      echo "FAIL: $label $name ($((SECONDS - started)) s)"
      failed=$((failed + 1))
    fi
    octet=$((octet + 1))
  done
}

if [ -n "$build64" ]; then
  run_arch wine-x86_64 "$wine64" "$build64" 100
fi
if [ -n "$build32" ]; then
  if can_run_32bit; then
    run_arch wine-i686 "$wine32" "$build32" 150
  else
    echo "SKIP: wine-i686: this machine cannot start 32-bit x86 programs ($wine32 --version fails), so the 32-bit DLL cannot run under Wine here"
  fi
fi
"$wineserver" -k
"$wineserver" -w
[ "$failed" -eq 0 ]
