#!/usr/bin/env bash
# Kills halden-cli with SIGKILL at random moments while it creates and
# initialises a new eeprom.bin, then checks that the next start accepts the
# file (or initialises it again) and reaches the main menu.
#   tools/kill_soak.sh [RUNS] [HALDEN_CLI]
# Prints one line per run that went wrong and a summary; exit status 1 when
# any run left a file that the next start refused or could not use.
set -uo pipefail
runs=${1:-100}
cli=${2:-$(dirname "$0")/../build/release/host/headless/halden-cli}
cli=$(realpath "$cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf 'key standby\nwait-screen 9 within 2m\nkey soft2\nwait-screen 11 within 1s\n' > powerup.scn

failures=0
killed_short=0   # killed before the file existed
killed_during=0  # killed after the file existed, before the start-up ended
finished=0       # the start-up ended before the kill
for ((run = 1; run <= runs; run++)); do
  rm -f eeprom.bin eeprom.bin.*
  "$cli" --eeprom eeprom.bin powerup.scn >/dev/null 2>&1 &
  pid=$!
  # 0 to 60 ms: a new file's whole start-up takes a few tens of milliseconds.
  sleep "0.0$(printf '%02d' $((RANDOM % 60)))"
  if kill -9 "$pid" 2>/dev/null; then
    if [ -e eeprom.bin ]; then killed_during=$((killed_during + 1)); else killed_short=$((killed_short + 1)); fi
  else
    finished=$((finished + 1))
  fi
  wait "$pid" 2>/dev/null
  size=$(stat -c %s eeprom.bin 2>/dev/null || echo none)
  if [ "$size" != none ] && [ "$size" != 32768 ]; then
    echo "run $run: killed start left eeprom.bin of $size bytes"
    failures=$((failures + 1))
    continue
  fi
  if ! out=$("$cli" --eeprom eeprom.bin powerup.scn 2>&1); then
    echo "run $run: the next start failed: $out"
    failures=$((failures + 1))
    continue
  fi
  if [ "$(stat -c %s eeprom.bin)" != 32768 ]; then
    echo "run $run: the next start left eeprom.bin of $(stat -c %s eeprom.bin) bytes"
    failures=$((failures + 1))
  fi
  leftovers=$(ls eeprom.bin.* 2>/dev/null | wc -l)
  [ "$leftovers" -gt 0 ] && echo "run $run: note: $leftovers temporary file(s) left beside eeprom.bin by the killed start"
done
echo "$runs runs: $failures failed; killed before the file existed: $killed_short," \
  "killed during the start-up: $killed_during, start-up finished before the kill: $finished"
[ "$failures" -eq 0 ]
