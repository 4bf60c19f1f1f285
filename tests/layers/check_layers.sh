#!/usr/bin/env bash
# The plug-in's folders include one way only, each from the folders below it:
#   plugin > commands > lifx > palette > settings > host > platform
# and no two of its files include each other, however far round. Given the
# plug-in's static library, the calls between its files are held to the
# same: down the folders, and no loop.
# Prints every include or call that reaches up, sideways or round, and
# fails if there is one.
set -uo pipefail
library=${1:+$(realpath "$1")}
cd "$(dirname "$0")/../.."
order=(platform host settings palette lifx commands plugin)
rank() {
  local i
  for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
bad=0
includes=$(mktemp)
calls=$(mktemp)
trap 'rm -f "$includes" "$calls"' EXIT
for folder in host settings palette lifx commands plugin; do
  mine=$(rank "$folder")
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r included; do
      other=${included%%/*}
      # A file and its own header are one unit.
      [ "${included%.*}" != "${file%.*}" ] && echo "${file%.*} ${included%.*}" >>"$includes"
      [ "$other" = "$folder" ] && continue
      theirs=$(rank "$other")
      if [ "$theirs" -lt 0 ] || [ "$theirs" -ge "$mine" ]; then
        echo "$file includes $included, which is not below $folder/"
        bad=1
      fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done

# tsort names the files of each loop it meets.
loops() {
  tsort "$1" 2>&1 >/dev/null | sed -n 's/^tsort: //p' | grep -v 'input contains a loop' |
    sed "s/^/$2 loop through /"
}
found=$(loops "$includes" include)

if [ -n "$library" ]; then
  # Which unit each member of the library is: its one source file.
  unit_of() {
    local member=${1%.o} hits
    hits=$(ls host/"$member" settings/"$member" palette/"$member" lifx/"$member" \
      commands/"$member" plugin/"$member" 2>/dev/null)
    [ "$(echo "$hits" | wc -l)" -eq 1 ] && [ -n "$hits" ] && echo "${hits%.cpp}" || echo "?$member"
  }
  declare -A unit defined
  while IFS=: read -r _ member _; do
    [ -n "${unit[$member]:-}" ] || unit[$member]=$(unit_of "$member")
  done < <(nm -A "$library")
  # Functions only, and only their strong definitions: shared data is
  # declared in its owner's header, which the includes above already hold,
  # and inline functions are every user's own.
  while read -r member symbol; do
    defined[$symbol]=${unit[$member]}
  done < <(nm -A --defined-only "$library" | awk '$(NF-1) == "T" {
      split($1, at, ":"); print at[2], $NF }')
  while read -r member symbol; do
    callee=${defined[$symbol]:-}
    caller=${unit[$member]}
    [ -n "$callee" ] && [ "$callee" != "$caller" ] || continue
    echo "$caller $callee" >>"$calls"
    if [ "$(rank "${callee%%/*}")" -gt "$(rank "${caller%%/*}")" ]; then
      echo "$caller calls $symbol of $callee, which is not below ${caller%%/*}/"
      bad=1
    fi
  done < <(nm -A --undefined-only "$library" | awk '{ split($1, at, ":"); print at[2], $NF }')
  sort -u -o "$calls" "$calls"
  found+=$(loops "$calls" call)
fi
if [ -n "$found" ]; then
  echo "$found"
  bad=1
fi
[ "$bad" -eq 0 ]
