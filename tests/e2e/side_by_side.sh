#!/usr/bin/env bash
# A script while two other runs use its octet: one holds block 127.57's
# lock, an older one (no lock) has a light at 127.58.OCTET.1. The script
# takes a block of neither, and passes.
#   side_by_side.sh EMULATOR WORK OCTET -- RUN-SCRIPT-COMMAND...
set -uo pipefail
emulator=$1 work=$2 octet=$3
shift 4
rm -rf "$work"
mkdir -p "$work" /tmp/chromalet-loopback-blocks
exec 8>>"/tmp/chromalet-loopback-blocks/127.57.$octet.0.lock"
flock -n 8 || echo "127.57.$octet is held by another run already"
mkfifo "$work/older-input"
"$emulator" --seconds 60 "127.58.$octet.1" <"$work/older-input" >"$work/older.txt" 2>&1 8>&- &
exec 7>"$work/older-input"
for _ in $(seq 1 100); do
  grep -q '^ready$\|in use' "$work/older.txt" && break
  sleep 0.05
done
"$@" 7>&- 8>&- || exit 1
taken=$(grep -oE "127\.[0-9]+\.$octet\.1" "$work/run/plugins/Chromalet-LIFX.rc" | head -1)
echo "the script took $taken"
case $taken in
  127.57.* | 127.58.* | '') exit 1 ;;
esac
