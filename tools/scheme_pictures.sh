#!/usr/bin/env bash
# Pictures of the built-in schemes for the user guide: the preview's own SVG
# snapshot of its eight bulbs and two strips under each scheme, one file a
# scheme (style.svg, fire.svg, ... cold.svg), committed in docs/schemes and
# shown from the guide and its page. Style shows the example style of the
# guide's "What your style gives". Runs the native preview against emulated
# lights on loopback, in a plug-in folder of its own that is removed
# afterwards.
#
#   scheme_pictures.sh BUILD-DIR OUT-DIR           draws them into OUT-DIR
#   scheme_pictures.sh --check BUILD-DIR DIR       fails unless DIR holds what
#                                                  the preview draws now
#
# BUILD-DIR holds chromalet-preview, vesk-host and the plug-in module
# (ninja chromalet-preview vesk-host chromalet_plugin). ./run pictures
# redraws docs/schemes.
set -euo pipefail
check=
if [ "${1:-}" = --check ]; then
  check=$3
  shift
fi
build=$1 out=$2
preview=$build/chromalet-preview
[ -x "$preview" ] || { echo "scheme_pictures.sh: no $preview: build the preview first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -z "$check" ] || out=$work/drawn
mkdir -p "$out"

# The guide's example: a "hardware" item of eight colours of its own.
cat >"$work/style.rc" <<'STYLE'
hardware.appearance: Super
hardware.color1: #ff0000
hardware.color2: #ff8800
hardware.color3: #ffff00
hardware.color4: #00ff00
hardware.color5: #00ffff
hardware.color6: #0000ff
hardware.color7: #8800ff
hardware.color8: #ff00ff
STYLE

for scheme in Style Fire Ocean Woods Spooky Warm Cold; do
  name=$(tr 'A-Z' 'a-z' <<<"$scheme")
  # The first run finds the emulated lights, as a user's first run would;
  # each later one starts from what it saved.
  printf '@Chromalet-LIFX Scheme %s\n:wait 500\n' "$scheme" >"$work/script"
  if ! "$preview" --plugin-dir "$work/plugin" --style "$work/style.rc" --no-debug \
    --script "$work/script" --snapshot "$out/$name.svg" >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "scheme_pictures.sh: the preview failed for $scheme" >&2
    exit 1
  fi
  # The picture names the scheme, and every bulb is lit (a dark one has a
  # dashed outline).
  if ! grep -q "scheme $scheme " "$out/$name.svg" || grep -q 'stroke-dasharray' "$out/$name.svg"; then
    cat "$work/log" >&2
    echo "scheme_pictures.sh: $name.svg does not show $scheme on every light" >&2
    exit 1
  fi
done

# A home of every kind (tools/preview/homes/example.home) under Fire: a
# matrix light's pixels and an older strip's zones beside the bulbs; its
# Switch is never driven, so this one has a dark light.
printf '@Chromalet-LIFX Scheme Fire\n:wait 1500\n' >"$work/script"
if ! "$preview" --plugin-dir "$work/home" --home "$(dirname "$0")/preview/homes/example.home" \
  --no-debug --script "$work/script" --snapshot "$out/home-fire.svg" >"$work/log" 2>&1 ||
  ! grep -q "Matrix 5 · 5 tiles · on" "$out/home-fire.svg"; then
  cat "$work/log" >&2
  echo "scheme_pictures.sh: home-fire.svg does not show the example home's tiles under Fire" >&2
  exit 1
fi

if [ -n "$check" ]; then
  for picture in "$out"/*.svg; do
    if ! cmp -s "$picture" "$check/${picture##*/}"; then
      echo "scheme_pictures.sh: $check/${picture##*/} is not what the preview draws now: ./run pictures redraws it" >&2
      exit 1
    fi
  done
fi
