#!/usr/bin/env bash
# The plug-in's folders include one way only, each from the folders below it:
#   plugin > commands > lifx > palette > settings > host > platform
# Prints every include that reaches up or sideways, and fails if there is one.
set -uo pipefail
cd "$(dirname "$0")/../.."
order=(platform host settings palette lifx commands plugin)
rank() {
  local i
  for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
bad=0
for folder in host settings palette lifx commands plugin; do
  mine=$(rank "$folder")
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r included; do
      other=${included%%/*}
      [ "$other" = "$folder" ] && continue
      theirs=$(rank "$other")
      if [ "$theirs" -lt 0 ] || [ "$theirs" -ge "$mine" ]; then
        echo "$file includes $included, which is not below $folder/"
        bad=1
      fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done
[ "$bad" -eq 0 ]
