#!/usr/bin/env bash
# Builds and starts the Halden simulator on a fresh Debian 12 machine:
# installs what is missing, builds, and opens the front-panel window. On a
# machine without a display it starts the headless serial console instead.
# Arguments are passed to the program (for example --eeprom PATH).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)"

if [ -x build/release/host/qt/halden-sim ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/release/host/qt/halden-sim "$@"
fi
if [ -x build/release/host/qt/halden-sim ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): starting the headless serial console."
else
  echo "The desktop simulator is not built (Qt 6 Widgets not found): starting the headless serial console."
fi
echo "Type remote commands (for example ID? or CONTROL); escapes such as \\024 send control characters."
exec build/release/host/headless/halden-cli "$@"
