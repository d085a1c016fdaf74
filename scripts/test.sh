#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite
# (labels unit, integration, gui, e2e).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
./scripts/setup.sh "$preset"
ctest --preset "$preset"
