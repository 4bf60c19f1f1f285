#!/usr/bin/env bash
# Runs one end-to-end script: emulated lights on loopback, the stand-in host
# program with the plug-in, then the script's checks on what the host printed,
# what the lights received and what the settings file holds.
#
#   run_script.sh --script FILE --emulator PROGRAM --octet N --work DIR
#                 [--windows-paths] [--timeout SECONDS] -- HOST-COMMAND...
#
# The host command is the host program with its loader and its --plugin
# option ("vesk-host --plugin X.so", "wine64 Vesk.exe --plugin Z:X.dll");
# this script adds --plugin-dir, --script, --style and --version. With
# --windows-paths those paths are given as Wine's Z: drive sees them.
#
# Directives in the script (comment lines, which the host skips):
#   #lights N...          emulated lights in device slots N, at 127.B.OCTET.N
#   #emulate N...         emulated lights at 127.B.OCTET.N that the settings
#                         file does not list, for the plug-in to find
#   #kind N OPTION...     light N is given these emulator light options too,
#                         e.g. "--kind matrix --chain 8x8,8x8"
#   #set TEXT             a line of the settings file written before the run
#   #nosettings           no settings file: the plug-in creates its own
#   #file NAME TEXT       a file of the plug-in folder, beside the settings,
#                         holding the line TEXT
#   #style TEXT           a line of a style file passed with --style
#   #version TEXT         the host's version text
#   #status N             the host's expected exit status (default 0)
#   #hex                  the lights' lines end in each datagram's bytes
#                         ("hex=..."), for comparing runs byte for byte
# Each emulated light answers requests as a real light: at N of 9 and above
# a strip labelled "Strip N", below a bulb labelled "Bulb N".
# Checks; SOURCE is host (its output), lights (the emulator's lines: one per
# datagram, "ADDRESS power 65535 ...", one per request and reply, "ADDRESS
# request GetService ...", "ADDRESS reply StateService ...", then "final
# ..."), file (the settings file after the run) or errors (the host's
# standard error); {LN} stands for 127.B.OCTET.N, the address of light N,
# REs are extended regular expressions:
#   #expect SOURCE RE     some line matches
#   #reject SOURCE RE     no line matches
#   #count SOURCE OP N RE the number of matching lines compares (== >= <=) to N
#   #order SOURCE RE ;; RE ;; ...    lines matching each, in this order
#   #quiet SOURCE FROM ;; TO ;; RE   no line matching RE after the first line
#                         matching FROM and before the next one matching TO
#   #types N WORD...      the kinds of Set datagram light N received, in order
#                         (power, color, zones, effect); none for no datagram
set -uo pipefail

script='' emulator='' octet='' work='' windows=0 limit=120
while [ $# -gt 0 ]; do
  case $1 in
    --script) script=$2; shift 2 ;;
    --emulator) emulator=$2; shift 2 ;;
    --octet) octet=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --windows-paths) windows=1; shift ;;
    --timeout) limit=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "run_script.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
if [ -z "$script" ] || [ -z "$emulator" ] || [ -z "$octet" ] || [ -z "$work" ] || [ $# -eq 0 ]; then
  echo "usage: run_script.sh --script FILE --emulator PROGRAM --octet N --work DIR [--windows-paths] [--timeout SECONDS] -- HOST-COMMAND..." >&2
  exit 2
fi
host_command=("$@")
name=$(basename "$script" .script)

rm -rf "$work"
mkdir -p "$work/plugins"
plugins=$work/plugins
settings=$plugins/Chromalet-LIFX.rc

# Another checkout's suite may run at the same time on this machine, with
# the same octets. Each script claims the block 127.B.OCTET.0/24, B the first
# of 57 to 96 that no running script holds, by a lock on a machine-wide file
# kept until it ends (the kernel lets go however it ends, so a crashed run
# never blocks the next). No light of another run, and no address a script
# means to stay unanswered, is then in its block. A run that takes no lock
# (an older checkout's) shows as an address the emulator cannot bind: the
# script moves on to the next block then, as the preview does.
locks=/tmp/chromalet-loopback-blocks
mkdir -p "$locks" 2>/dev/null && chmod 1777 "$locks" 2>/dev/null
block=
claim_block() { # first-candidate
  local b
  exec 9>&-
  block=
  for b in $(seq "$1" 96); do
    { exec 9>>"$locks/127.$b.$octet.0.lock"; } 2>/dev/null || continue
    if flock -n 9; then
      block=$b
      return 0
    fi
    exec 9>&-
  done
  echo "$name: every loopback block for octet $octet is taken by other runs" >&2
  exit 1
}
claim_block 57

address() { printf '127.%s.%s.%s' "$block" "$octet" "$1"; }

# {Ln} becomes light n's address; escaped for a regular expression when $2 is 1.
substitute() { # text escape
  local text=$1 n value
  while [[ $text =~ \{L([0-9]+)\} ]]; do
    n=${BASH_REMATCH[1]}
    value=$(address "$n")
    [ "$2" = 1 ] && value=${value//./\\.}
    text=${text//\{L$n\}/$value}
  done
  printf '%s' "$text"
}

host_path() { # a path as the host program sees it
  if [ "$windows" = 1 ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi
}

lights=() unlisted=() kinds=() settings_lines=() style_lines=() files=() checks=() version='' expected_status=0 write_settings=1
emulator_options=(--datagrams)
while IFS= read -r line || [ -n "$line" ]; do
  line=${line%$'\r'}
  case $line in
    '#lights '*) read -r -a lights <<<"${line#\#lights }" ;;
    '#emulate '*) read -r -a unlisted <<<"${line#\#emulate }" ;;
    '#kind '*) kinds+=("${line#\#kind }") ;;
    '#set '*) settings_lines+=("$(substitute "${line#\#set }" 0)") ;;
    '#nosettings') write_settings=0 ;;
    '#file '*) files+=("${line#\#file }") ;;
    '#style '*) style_lines+=("${line#\#style }") ;;
    '#version '*) version=${line#\#version } ;;
    '#status '*) expected_status=${line#\#status } ;;
    '#hex') emulator_options+=(--hex) ;;
    '#expect '* | '#reject '* | '#count '* | '#order '* | '#quiet '* | '#types '* | '#types')
      checks+=("${line#\#}") ;;
  esac
done <"$script"

# The emulator runs until its input, a pipe held open here, closes.
emulator_pid=
emulated=()
for n in "${lights[@]}" "${unlisted[@]}"; do
  case " ${emulated[*]} " in *" $n "*) ;; *) emulated+=("$n") ;; esac
done
start_emulator() { # 0 when it runs; 2 when an address of the block is taken
  local light_arguments=() n kind words
  : >"$work/lights.txt"
  for n in "${emulated[@]}"; do
    if [ "$n" -ge 9 ]; then
      light_arguments+=(--strip --label "Strip $n")
    else
      light_arguments+=(--label "Bulb $n")
    fi
    for kind in "${kinds[@]}"; do
      read -r -a words <<<"$kind"
      [ "${words[0]}" = "$n" ] && light_arguments+=("${words[@]:1}")
    done
    light_arguments+=("$(address "$n")")
  done
  rm -f "$work/emulator-input"
  mkfifo "$work/emulator-input"
  "$emulator" --seconds $((limit + 60)) "${emulator_options[@]}" "${light_arguments[@]}" <"$work/emulator-input" >"$work/lights.txt" 2>"$work/emulator-errors.txt" 9>&- &
  emulator_pid=$!
  exec 3>"$work/emulator-input"
  for _ in $(seq 1 200); do
    grep -q '^ready$' "$work/lights.txt" && return 0
    kill -0 "$emulator_pid" 2>/dev/null || break
    sleep 0.05
  done
  grep -q '^ready$' "$work/lights.txt" && return 0
  exec 3>&-
  wait "$emulator_pid"
  emulator_pid=
  grep -q 'Address already in use' "$work/emulator-errors.txt" && return 2
  return 1
}
: >"$work/lights.txt"
while [ ${#emulated[@]} -gt 0 ]; do
  start_emulator
  case $? in
    0) break ;;
    2) claim_block $((block + 1)) ;;
    *)
      echo "$name: the emulator did not start:" >&2
      cat "$work/emulator-errors.txt" >&2
      exit 1 ;;
  esac
done

if [ "$write_settings" = 1 ]; then
  {
    for n in "${lights[@]}"; do printf 'lifx.device%s: %s\n' "$n" "$(address "$n")"; done
    for line in "${settings_lines[@]}"; do printf '%s\n' "$line"; done
  } >"$settings"
fi
for entry in "${files[@]}"; do
  printf '%s\n' "${entry#* }" >"$plugins/$(basename "${entry%% *}")"
done
host_options=(--plugin-dir "$(host_path "$plugins")" --script "$(host_path "$work/script.txt")")
if [ ${#style_lines[@]} -gt 0 ]; then
  printf '%s\n' "${style_lines[@]}" >"$work/style.txt"
  host_options+=(--style "$(host_path "$work/style.txt")")
fi
[ -n "$version" ] && host_options+=(--version "$version")
while IFS= read -r line || [ -n "$line" ]; do
  substitute "${line%$'\r'}" 0
  printf '\n'
done <"$script" >"$work/script.txt"

# The host must not hold the emulator's input open, nor the block's lock:
# Wine's services, started by the first host, outlive it.
timeout "$limit" "${host_command[@]}" "${host_options[@]}" </dev/null >"$work/host.txt" 2>"$work/errors.txt" 3>&- 9>&-
status=$?

if [ -n "$emulator_pid" ]; then
  exec 3>&-
  wait "$emulator_pid"
fi
[ -f "$settings" ] || : >"$settings"

failures=0
fail() {
  printf '%s: FAILED CHECK: %s\n' "$name" "$1" >&2
  [ -n "${2:-}" ] && printf '    %s\n' "$2" >&2
  failures=$((failures + 1))
}

source_file() {
  case $1 in
    host) printf '%s' "$work/host.txt" ;;
    lights) printf '%s' "$work/lights.txt" ;;
    file) printf '%s' "$settings" ;;
    errors) printf '%s' "$work/errors.txt" ;;
    *) return 1 ;;
  esac
}

# The number of the first line after line $3 of file $1 that matches $2, or
# nothing.
line_after() { # file re after
  grep -En -- "$2" "$1" | awk -F: -v after="$3" '$1 > after { print $1; exit }'
}

# Splits "A ;; B ;; C" into the array parts.
split_parts() {
  local rest=$1
  parts=()
  while [[ $rest == *' ;; '* ]]; do
    parts+=("${rest%% ;; *}")
    rest=${rest#* ;; }
  done
  parts+=("$rest")
}

[ "$status" = "$expected_status" ] || fail "exit status $status, expected $expected_status"

for check in "${checks[@]}"; do
  read -r kind source rest <<<"$check"
  if [ "$kind" = types ]; then
    # "types N WORD...": source is the light's slot.
    read -r -a words <<<"$rest"
    expected="${words[*]}"
    at=$(address "$source")
    actual=$(awk -v a="$at" '$1 == a && $2 ~ /^(power|color|zones|effect)$/ { printf "%s%s", sep, $2; sep = " " }' "$work/lights.txt")
    [ "$actual" = "$expected" ] || fail "$check" "light $source received: ${actual:-nothing}"
    continue
  fi
  file=$(source_file "$source") || { fail "$check" "unknown source $source"; continue; }
  case $kind in
    expect)
      grep -Eq -- "$(substitute "$rest" 1)" "$file" || fail "$check" ;;
    reject)
      if grep -En -- "$(substitute "$rest" 1)" "$file" >"$work/match.txt"; then
        fail "$check" "$(head -3 "$work/match.txt")"
      fi ;;
    count)
      read -r op number re <<<"$rest"
      n=$(grep -Ec -- "$(substitute "$re" 1)" "$file")
      case $op in
        '==') [ "$n" -eq "$number" ] ;;
        '>=') [ "$n" -ge "$number" ] ;;
        '<=') [ "$n" -le "$number" ] ;;
        *) false ;;
      esac || fail "$check" "counted $n"
      ;;
    order)
      split_parts "$rest"
      at=0
      for part in "${parts[@]}"; do
        next=$(line_after "$file" "$(substitute "$part" 1)" "$at")
        if [ -z "$next" ]; then
          fail "$check" "no line matching \"$part\" after line $at"
          break
        fi
        at=$next
      done ;;
    quiet)
      split_parts "$rest"
      if [ ${#parts[@]} -ne 3 ]; then fail "$check" "needs FROM ;; TO ;; RE"; continue; fi
      from=$(line_after "$file" "$(substitute "${parts[0]}" 1)" 0)
      if [ -z "$from" ]; then fail "$check" "no line matching \"${parts[0]}\""; continue; fi
      to=$(line_after "$file" "$(substitute "${parts[1]}" 1)" "$from")
      [ -n "$to" ] || to=$(($(wc -l <"$file") + 1))
      found=$(line_after "$file" "$(substitute "${parts[2]}" 1)" "$from")
      if [ -n "$found" ] && [ "$found" -lt "$to" ]; then
        fail "$check" "line $found: $(sed -n "${found}p" "$file")"
      fi ;;
    *) fail "$check" "unknown check" ;;
  esac
done

# The host goes on when its network guard refuses a destination beyond
# loopback; a script that does not expect that fails on it.
if grep -q 'network guard' "$work/errors.txt" && ! printf '%s\n' "${checks[@]}" | grep -q 'network guard'; then
  fail "no destination beyond loopback" "$(grep -m 3 'network guard' "$work/errors.txt")"
fi

if [ "$failures" -gt 0 ]; then
  {
    echo "---- $name: host output ($work/host.txt)"
    cat "$work/host.txt"
    echo "---- $name: host errors"
    cat "$work/errors.txt"
    echo "---- $name: lights"
    cat "$work/lights.txt"
    echo "---- $name: settings file"
    cat "$settings"
  } >&2
  exit 1
fi
echo "$name: passed"
exit 0
