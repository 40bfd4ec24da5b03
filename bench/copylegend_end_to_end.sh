#!/usr/bin/env bash
# Headless Copy Legend Colors end to end (open the data set, walk, save the
# document; no frames) at 1,000,000 Source points with 100,000 keys and 100,000
# Related points, against its peer: the same join done by sqlite3 on the same
# GeoPackage with an index on the Source key (the first Source feature of each
# key, joined to every Related feature holding that key). Prints both wall times,
# both peaks of resident memory, the data set's size on disk and the ratios.
#   bench/copylegend_end_to_end.sh [path/to/velorin-map]   (a release build)
set -euo pipefail

map=${1:-build/release/app/velorin-map}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk 'BEGIN { print "x,y,NerroID";
             for (i = 0; i < 1000000; i++) printf "%d,%d,%d\n", i % 1000, int(i / 1000), (i * 7919) % 100000 }' \
    > "$work/source.csv"
awk 'BEGIN { print "x,y,JunctionID";
             for (i = 0; i < 100000; i++) printf "%d.5,%d.5,%d\n", i % 1000, int(i / 1000), i }' \
    > "$work/related.csv"
common=(-oo X_POSSIBLE_NAMES=x -oo Y_POSSIBLE_NAMES=y -oo AUTODETECT_TYPE=YES
        -oo KEEP_GEOM_COLUMNS=NO -lco SPATIAL_INDEX=NO)
ogr2ogr -f GPKG "$work/data.gpkg" "$work/source.csv" -nln Source "${common[@]}"
ogr2ogr -update "$work/data.gpkg" "$work/related.csv" -nln Related "${common[@]}"
rm "$work/source.csv" "$work/related.csv"
cp "$work/data.gpkg" "$work/peer.gpkg"
bytes=$(stat -c %s "$work/data.gpkg")

# seconds and peak kilobytes of one command, as "SECONDS KB"
measure() { /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2>&1; cat "$work/time"; }

read -r ours_s ours_kb < <(measure env QT_QPA_PLATFORM=offscreen "$map" --headless "$work/data.gpkg" \
    --tool copylegend --categorize Source=NerroID --source-layer Source --source-field NerroID \
    --related-layer Related --related-field JunctionID --save "$work/out.json")
[ -s "$work/out.json" ] || { echo "the headless run saved nothing" >&2; exit 1; }

read -r peer_s peer_kb < <(measure sqlite3 "$work/peer.gpkg" \
    "CREATE INDEX source_key ON Source(NerroID);
     CREATE TABLE legend AS
       SELECT r.JunctionID AS value, f.first AS source
       FROM Related r JOIN (SELECT NerroID, MIN(fid) AS first FROM Source GROUP BY NerroID) f
         ON f.NerroID = r.JunctionID;
     SELECT count(*) FROM legend;")

awk -v os="$ours_s" -v ok="$ours_kb" -v ps="$peer_s" -v pk="$peer_kb" -v b="$bytes" 'BEGIN {
    printf "velorin-map headless: %.2f s, %.0f MiB peak\n", os, ok / 1024
    printf "sqlite3 indexed join: %.2f s, %.0f MiB peak\n", ps, pk / 1024
    printf "data set on disk:     %.0f MiB\n", b / 1048576
    printf "time ratio %.2f (goal <= 2), memory / size on disk %.2f (goal < 2)\n", os / ps, ok * 1024 / b
}'
