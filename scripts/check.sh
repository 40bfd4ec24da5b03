#!/usr/bin/env bash
# Installs what the project needs, builds it with one preset (dev unless named)
# and runs every test. Usage: scripts/check.sh [dev|asan|release]
set -euo pipefail
preset=${1:-dev}
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Qt tests run without a display.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
