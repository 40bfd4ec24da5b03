#!/usr/bin/env bash
# The main job: on a fresh Debian 12 machine, with or without a display, installs
# what the project needs, builds velorin-map (release preset), writes the bundled
# hydrology sample, and runs both tools headless on it through their real
# dialogs:
#   1. Zoom and Flash over three selected catchments and their junctions, writing
#      a PNG frame after every zoom and during every flash;
#   2. Copy Legend Colors from the catchments to the junctions, saving the
#      changed map document next to the sample.
# Then prints where the frames and the document are. Everything goes under out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

echo "demo: building velorin-map (release)"
cmake --preset release >/dev/null
cmake --build --preset release --target velorin-map velorin-make-sample

map=build/release/app/velorin-map
out=out
sample=$out/sample
frames=$out/frames
document=$sample/hydrology-coloured.json

echo "demo: writing the sample into $sample"
build/release/tools/make_sample/velorin-make-sample "$sample"

# The catchments to visit, and both tools' layers and key fields.
layers=(--source-layer Catchment --source-field NerroID
    --related-layer NerroJunction --related-field NerroID)

echo
echo "demo: Zoom and Flash over catchments 7, 8 and 12 with their junctions"
"$map" --headless "$sample/hydrology.json" --tool zoomflash \
    --select Catchment=7,8,12 "${layers[@]}" \
    --source-time 0.5 --related-time 0.5 --method both --zoom-factor 1.7 --zoom-width 800 \
    --frames "$frames/zoomflash"

echo
echo "demo: Copy Legend Colors from the catchments to the junctions"
"$map" --headless "$sample/hydrology.json" --tool copylegend "${layers[@]}" \
    --frames "$frames/copylegend" --save "$document"

echo
echo "demo: done."
echo "  frames of Zoom and Flash:       $frames/zoomflash (listed in frames.csv)"
echo "  frames of Copy Legend Colors:   $frames/copylegend"
echo "  map document with the colours:  $document"
echo "  open it in the window (with a display): $map $document"
