#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) in build-fuzz and runs each for SECONDS (default 60; 0 runs
# each input gathered so far once), starting from the seeds in
# tests/fuzz/corpus/<target> and the corpus in build-fuzz/corpus/<target>.
# Prints executions per second and coverage for each. Exits non-zero when a
# target crashed or broke one of its checks; the input that did it is left in
# build-fuzz/crashes/<target>/, and the path is printed. Replay one with
# build-fuzz/fuzz/fuzz_<target> FILE; once fixed, copy it into the seeds,
# whose every file the tests replay (tests/hardening/CMakeLists.txt).
#
#   tools/fuzz.sh [SECONDS] [TARGET...]     TARGET: command settings style datagram discovery delivery
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(command settings style datagram discovery delivery)
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}

case $SECONDS_EACH in
  '' | *[!0-9]*) echo "usage: tools/fuzz.sh [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

for tool in clang clang++ cmake ninja; do
  command -v "$tool" >/dev/null || { echo "fuzz: $tool is missing (apt-get install clang libclang-rt-14-dev cmake ninja-build)" >&2; exit 2; }
done

echo "== fuzz: building in $BUILD" >&2
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCHROMALET_FUZZ=ON >/dev/null
ninja -C "$BUILD" fuzz >&2

# Longest input each target is given: past the plug-in's 4096-byte command
# and token buffers, and a little more than the largest datagram.
max_len() {
  case $1 in
    datagram) echo 1024 ;;
    discovery | delivery) echo 4096 ;;
    *) echo 8192 ;;
  esac
}

# A field of libFuzzer's last status line ("cov: 833 ft: 1450 ...").
field() { # log name
  grep -E '^#[0-9]+' "$1" | tail -1 | sed -n "s/.* $2: \([0-9]*\).*/\1/p"
}

failed=0
for target in "${TARGETS[@]}"; do
  binary=$BUILD/fuzz/fuzz_$target
  seeds=$ROOT/tests/fuzz/corpus/$target
  [ -x "$binary" ] && [ -d "$seeds" ] || { echo "fuzz: no target '$target'" >&2; exit 2; }
  corpus=$BUILD/corpus/$target
  crashes=$BUILD/crashes/$target
  log=$BUILD/logs/$target.log
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  stamp=$(mktemp)
  echo "== fuzz: $target for ${SECONDS_EACH}s" >&2
  status=0
  # 0 seconds: run the seeds and the corpus gathered so far once, no more.
  if [ "$SECONDS_EACH" -eq 0 ]; then limit=-runs=0; else limit=-max_total_time=$SECONDS_EACH; fi
  dict=()
  [ -f "$ROOT/tests/fuzz/$target.dict" ] && dict=(-dict="$ROOT/tests/fuzz/$target.dict")
  "$binary" "$corpus" "$seeds" "$limit" -max_len="$(max_len "$target")" "${dict[@]}" \
    -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$crashes/" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  printf 'fuzz_%-9s %6s runs %7s exec/s   cov %5s   features %5s   corpus %s\n' "$target" \
    "${runs:-?}" "${speed:-?}" "$(field "$log" cov)" "$(field "$log" ft)" "$(field "$log" corp)"
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "fuzz_$target FAILED (exit $status); log: $log" >&2
    grep -E 'ERROR:|SUMMARY:|fuzz check failed|network guard' "$log" | head -5 >&2 || true
    find "$crashes" -type f -newer "$stamp" | while read -r artifact; do
      echo "  input kept in: $artifact" >&2
    done
  fi
  rm -f "$stamp"
done
exit $failed
