#!/usr/bin/env bash
# Remakes the pictures in docs/ that the README shows: both dialogs, the help
# window, the map window during a flash, the junctions after Copy Legend Colors,
# the symbology dialog, the window with an identified catchment and the
# attribute table, drawn offscreen by velorin-map on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target velorin-map velorin-make-sample

build/release/tools/make_sample/velorin-make-sample out/sample
build/release/app/velorin-map --screenshots docs out/sample/hydrology.json
