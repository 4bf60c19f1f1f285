#!/usr/bin/env bash
# The package decisions against a mirror caught while it syncs: stand-in
# apt-get, dpkg-query, dpkg and id on the PATH, where every apt-get update
# fails on an i386 index and no i386 package can be installed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
# ./run test exports which 32-bit Wine it found, or why none, to what it
# runs, this test included: each case here says its own.
unset CHROMALET_WINE32_UNAVAILABLE CHROMALET_WINE32_LOADER
export CALLS=$fake/calls CHROMALET_APT_PAUSE=0 STANDIN_MISSING='wine32:i386 wine64 libwidget-dev'
mkdir "$fake/bin"
cat >"$fake/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" >>"$CALLS"
case " $* " in *" update "*)
  echo "E: Failed to fetch http://127.0.0.1/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  exit 100 ;; esac
case " $* " in *":i386 "*)
  echo " libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 but it is not going to be installed"
  echo "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."
  exit 100 ;; esac
case " $* " in *" libwidget-dev "*) echo "E: Unable to locate package libwidget-dev"; exit 100 ;; esac
case " $* " in *" indextargets "*) [ -z "${STANDIN_MIRROR:-}" ] || echo "$STANDIN_MIRROR" ;; esac
exit 0
STANDIN
printf '#!/bin/sh\ncase " $STANDIN_MISSING " in *" $3 "*) exit 1 ;; esac\nprintf "install ok installed"\n' >"$fake/bin/dpkg-query"
printf '#!/bin/sh\necho i386\n' >"$fake/bin/dpkg"
printf '#!/bin/sh\necho 0\n' >"$fake/bin/id"
# Should a decision go wrong, the preview stops before building anything.
printf '#!/bin/sh\necho "cmake reached" >&2; exit 1\n' >"$fake/bin/cmake"
chmod +x "$fake/bin"/*
export PATH=$fake/bin:$PATH
failures=0
expect() { # description command...
  if ! "${@:2}"; then echo "FAILED: $1"; failures=$((failures + 1)); fi
}

# Under set -e, as in ./run: the update is tried three times and the install
# goes on; 32-bit Wine then cannot be installed: reported, not fatal.
out=$( (set -e
  . "$root/tools/packages.sh"
  need_packages wine64
  echo "wine64 installed"
  want_packages wine32:i386 && echo "wine32 installed"
  echo "error: $APT_INSTALL_ERROR") 2>&1)
expect "the 32-bit install fails with apt-get's reason" grep -q '^error: E: Error, pkgProblemResolver' <<<"$out"
expect "a 64-bit package installs despite the update" grep -q '^wine64 installed$' <<<"$out"
expect "no claim that 32-bit Wine installed" test "$(grep -c 'wine32 installed' <<<"$out")" = 0
expect "three tries of apt-get update, one run" test "$(grep -c ' update' "$CALLS")" = 3
expect "the install is tried despite the update" grep -q 'install .*wine32:i386' "$CALLS"

# A 64-bit package that cannot be installed ends the command.
out=$( (set -e; . "$root/tools/packages.sh"; need_packages libwidget-dev; echo "went on") 2>&1)
expect "a failed 64-bit install is fatal" test "$(grep -c 'went on' <<<"$out")" = 0
expect "it names the package" grep -q 'could not install libwidget-dev' <<<"$out"

# Which 32-bit Wine: the machine's own, else an i386 root's, else none, with
# both reasons. A row: multiarch installs it, the root builds, times the root
# is tried, what follows.
while read -r own built tried expected; do
  out=$( (. "$root/tools/packages.sh"; . "$root/tools/wine32.sh"
    want_packages() { [ "$1" != wine32:i386 ] || [ "$own" = yes ] || { APT_INSTALL_ERROR="E: breaks"; false; }; }
    i386_root_loader() { echo "root tried" >&2; [ "$built" = yes ] && echo /cache/wine || { echo "no mirror"; false; }; }
    obtain_wine32; echo "$? $WINE32_LOADER: $WINE32_WAY") 2>&1)
  expect "multiarch $own, root $built: $expected" grep -qE "$expected" <<<"$out"
  expect "multiarch $own, root $built: the root tried $tried times" test "$(grep -c 'root tried' <<<"$out")" = "$tried"
done <<'ROWS'
yes yes 0 ^0 /usr/lib/wine/wine: 32-bit Wine: the machine's own wine32:i386$
no yes 1 ^0 /cache/wine: 32-bit Wine: the i386 root in /cache, as wine32:i386 could not be installed here$
no no 1 ^1 : 32-bit Wine: none, wine32:i386 could not be installed \(E: breaks\), nor 32-bit Wine made in an i386 root \(no mirror\)$
ROWS

# The 32-bit preview, without 32-bit Wine, fails on one line, with both
# reasons: this machine's sources name no mirror to build the root from.
: >"$CALLS"
printf '#!/bin/sh\necho "debootstrap reached" >&2; exit 1\n' >"$fake/bin/debootstrap"
chmod +x "$fake/bin/debootstrap"
out=$(cd "$fake" && CHROMALET_I386_ROOT=$fake/i386 "$root/run" preview --windows --arch x86 </dev/null 2>&1)
expect "the 32-bit preview fails" test $? -ne 0
expect "it names wine32:i386 and the root on one line" grep -q '^./run preview: --arch x86 needs 32-bit Wine, and wine32:i386 could not be installed (E: Error, pkgProblemResolver.*), nor 32-bit Wine made in an i386 root (the package sources name no mirror for ' <<<"$out"
expect "without apt-get's dependency listing" test "$(grep -c 'Depends:' <<<"$out")" = 0

# The Wine suite skips the 32-bit scripts, naming the package and the reason,
# only when told why 32-bit Wine could not be installed; else they fail.
mkdir -p "$fake/build32"
scripts=$(ls "$root"/tests/e2e/*.script "$root"/tests/wine/i686/*.script | wc -l)
suite() {
  DISPLAY=:99 bash "$root/tests/wine/run_wine_tests.sh" --emulator "$fake/bin/id" --build-32 "$fake/build32" \
    --prefix "$fake/prefix" --work "$fake/work" 2>&1
}
out=$(CHROMALET_WINE32_UNAVAILABLE="wine32:i386 could not be installed (E: Error), nor ..." suite)
expect "skipped when the install failed" test $? -eq 0
expect "every 32-bit script skipped" test "$(grep -c '^SKIP: wine-i686 ' <<<"$out")" = "$scripts"
expect "the reason names the package" grep -q 'wine32:i386 could not be installed (E: Error), nor' <<<"$out"
out=$(suite)
expect "failed when nobody tried to install it" test $? -ne 0
expect "every 32-bit script failed" test "$(grep -c '^FAIL: wine-i686 ' <<<"$out")" = "$scripts"
expect "naming the package" grep -q 'wine32:i386 is missing' <<<"$out"

# The i386 root made anew (another checkout's recipe) beside the old one, by
# a stand-in debootstrap that fails or makes a root whose Wine says so. A row:
# an old root there or none, debootstrap's result, then the exit status, what
# the loader's Wine says after, and a line of the output.
export STANDIN_MIRROR="http://127.0.0.1/debian $(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
cat >"$fake/bin/debootstrap" <<'STANDIN'
#!/bin/sh
[ "$STANDIN_DEBOOTSTRAP" = ok ] || { echo "E: Failed getting release file" >&2; exit 1; }
eval new=\${$(($# - 1))}
mkdir -p "$new/usr/lib/wine" "$new/etc/apt"
printf '#!/bin/sh\necho wine-new\n' >"$new/usr/lib/wine/wine"
chmod +x "$new/usr/lib/wine/wine"
STANDIN
printf '#!/bin/sh\nexit 0\n' >"$fake/bin/chroot"
printf '#!/bin/sh\nexit 0\n' >"$fake/bin/unshare"
chmod +x "$fake/bin"/*
old_root() { # folder
  mkdir -p "$1/root/usr/lib/wine"
  printf '#!/bin/sh\necho wine-old\n' >"$1/root/usr/lib/wine/wine"
  printf '#!/bin/sh\nexec %s "$@"\n' "$1/root/usr/lib/wine/wine" >"$1/wine"
  chmod +x "$1/root/usr/lib/wine/wine" "$1/wine"
  echo "another checkout's recipe" >"$1/recipe"
  : >"$1/lock"
}
while IFS='|' read -r old result status says line; do
  cache=$fake/i386-$old-$result
  [ "$old" = none ] || old_root "$cache"
  out=$(STANDIN_DEBOOTSTRAP=$result bash "$root/tools/i386_root.sh" --cache "$cache" 2>&1)
  expect "$old root, debootstrap $result: exits $status" test $? = "$status"
  expect "$old root, debootstrap $result: Wine says '$says'" test "$("$cache/wine" 2>/dev/null)" = "$says"
  expect "$old root, debootstrap $result: says $line" grep -qF "$line" <<<"$out"
  expect "$old root, debootstrap $result: nothing left beside the root" test -z "$(ls -d "$cache"/new* "$cache"/old 2>/dev/null)"
done <<'ROWS'
old|fail|0|wine-old|could not be made anew (debootstrap could not fetch the i386 root of
none|fail|1||debootstrap could not fetch the i386 root of
old|ok|0|wine-new|the i386 root is built in
ROWS
# A run using the old root (its lock held as tools/wine32.sh holds it) keeps
# it until that run ends; the new root, built meanwhile, waits to replace it.
cache=$fake/i386-held
old_root "$cache"
mkfifo "$fake/release"
(. "$root/tools/wine32.sh" && hold_i386_root "$cache/wine" && : >"$fake/held" && read -r _ <"$fake/release") &
for _ in $(seq 100); do [ -e "$fake/held" ] && break; sleep 0.1; done
STANDIN_DEBOOTSTRAP=ok bash "$root/tools/i386_root.sh" --cache "$cache" >"$fake/rebuild" 2>&1 &
rebuild=$!
for _ in $(seq 300); do grep -q 'waiting for the runs using the old i386 root' "$fake/rebuild" && break; sleep 0.1; done
expect "the rebuild waits for the run using the root" grep -q 'waiting for the runs using the old' "$fake/rebuild"
expect "the root in use is the old one meanwhile" test "$("$cache/wine")" = wine-old
echo >"$fake/release"
wait "$rebuild"
expect "the new root replaces it once that run ended" test "$("$cache/wine")" = wine-new

[ "$failures" -eq 0 ] && echo "all package decisions hold"
