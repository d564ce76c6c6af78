#!/usr/bin/env bash
# Makes the guide's picture of the running simulator: starts halden-sim on a
# virtual X server (Xvfb) in a scratch directory with a fresh profile and
# EEPROM, lets the firmware run, and saves the window as a PNG.
#   tools/screenshot.sh [OUTPUT.png [DELAY_MS]]     (default docs/screenshot.png, 38000 ms: the self-test result after power-up)
set -euo pipefail
cd "$(dirname "$0")/.."
sim=$(realpath -m "${HALDEN_SIM:-build/release/host/qt/halden-sim}")
out=$(realpath -m "${1:-docs/screenshot.png}")
delay=${2:-38000}
if [ ! -x "$sim" ]; then
  echo "$sim is missing: build first (./run.sh or cmake --build build/release)" >&2
  exit 1
fi
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: tools/install-deps.sh test installs it" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$(dirname "$out")"
cd "$scratch"
XDG_CONFIG_HOME="$scratch/config" xvfb-run -a -s "-screen 0 1024x768x24" \
  "$sim" --screenshot "$out" --screenshot-delay "$delay"
echo "wrote $out"
