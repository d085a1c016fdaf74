#!/usr/bin/env bash
# Installs the Debian packages the project needs (only when some are missing),
# then configures and builds the given preset (default: "default").
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

mapfile -t packages < <(grep -v -E '^\s*(#|$)' scripts/packages.txt)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
