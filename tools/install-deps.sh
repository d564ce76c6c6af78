#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when
# they are missing. Usage: tools/install-deps.sh [run|test]
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config ccache libpng-dev qt6-base-dev nlohmann-json3-dev emscripten)
if [ "${1:-run}" = test ]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth clang libclang-rt-14-dev python3-serial desktop-file-utils
             groff-base chromium)
  # The page's browser tests take playwright-core from npm; a node that
  # brought its own npm (not Debian's) is kept as it is.
  command -v npm >/dev/null 2>&1 || packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
