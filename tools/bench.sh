#!/usr/bin/env bash
# Builds the benchmarks (Release, -O2, in build-bench) and runs them: how long
# the plug-in holds the shell's thread, beside the bare cost of its datagrams.
# Prints the median of each and the palette fan-out's ratio to its floor,
# both measured in this one run; then, at 20 % and 35 % loss, how soon lossy
# emulated bulbs show a change sent by the plug-in and by the peer library
# (tests/peer), and the ratio of their 90th percentiles.
#
#   BENCH_REPETITIONS  repetitions of each benchmark (default 15)
#   BENCH_MIN_TIME     seconds each repetition runs at least (default 0.2)
#   BENCH_JSON         where to keep Google Benchmark's JSON (default: removed)
set -euo pipefail
cd "$(dirname "$0")/.."

REPETITIONS=${BENCH_REPETITIONS:-15}
MIN_TIME=${BENCH_MIN_TIME:-0.2}

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCHROMALET_BENCH=ON >/dev/null
ninja -C build-bench chromalet_bench chromalet_settle >&2

json=${BENCH_JSON:-$(mktemp)}
[ -n "${BENCH_JSON:-}" ] || trap 'rm -f "$json"' EXIT

# The console report goes to stderr; the numbers are read from the JSON.
build-bench/chromalet_bench \
  --benchmark_repetitions="$REPETITIONS" \
  --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true \
  --benchmark_min_time="$MIN_TIME" \
  --benchmark_out="$json" --benchmark_out_format=json >&2

# One line per benchmark from its "median" aggregate, in a fixed order. The
# paired ones carry the medians of the plug-in and of the floor over their
# iterations; the others the median over their iterations, or the time per
# colour.
awk -v repetitions="$REPETITIONS" '
  function number(line) { sub(/^[^:]*: */, "", line); sub(/,$/, "", line); return line + 0 }
  function text(line) { sub(/^[^:]*: *"/, "", line); sub(/",?$/, "", line); return line }
  /"name":/ { name = text($0); aggregate = ""; delete counter }
  /"aggregate_name":/ { aggregate = text($0) }
  /"real_time":/ { realTime = number($0) }
  /"time_unit":/ { unit = text($0) }
  /"(plugin_us|floor_us|median_us)":/ {
    key = $0; sub(/^ *"/, "", key); sub(/".*/, "", key); counter[key] = number($0)
  }
  /^ *}/ {
    if (aggregate != "median") next
    base = name; sub(/\/manual_time_median$/, "", base); sub(/_median$/, "", base)
    sub(/\/iterations:[0-9]+/, "", base)
    if ("plugin_us" in counter) {
      r = counter["plugin_us"] / counter["floor_us"]
      line[base] = sprintf("%-28s %9.1f us   floor %9.1f us   ratio %.2f", base,
                           counter["plugin_us"], counter["floor_us"], r)
      if (base == "SendColoursPalette") ratio = r
    } else if ("median_us" in counter) {
      line[base] = sprintf("%-28s %9.1f us", base, counter["median_us"])
    } else {
      line[base] = sprintf("%-28s %9.1f %s", base, realTime, unit)
    }
    aggregate = ""
  }
  END {
    printf "medians of %d repetitions\n", repetitions
    n = split("SendColoursPalette SendColoursWarm CycleTick SchemeFireCommand " \
              "ResendStep ResendStepLongStrips DiscoveryLongestStep RgbToHsbkPerColour RgbToHsbkReferencePerColour", order, " ")
    for (i = 1; i <= n; i++)
      if (order[i] in line) print line[order[i]]
    if (ratio == "") { print "no palette fan-out result" > "/dev/stderr"; exit 1 }
    printf "fan-out/floor ratio: %.2f\n", ratio
  }
' "$json"

# Both clients against the same lossy bulbs, one after the other.
for loss in 20 35; do
  build-bench/chromalet_settle --loss "$loss" --seed "$loss" --peer bench/settle/peer_client.js
done
