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

# The map: Source drawn by a legend of its 100,000 keys, one of 64 markers each
# (--categorize stops at the symbology dialog's 500 values, so the legend comes
# in a document), and Related with the default renderer.
awk 'BEGIN {
    print "{\"velorinMapDocument\": 1, \"layers\": ["
    print "{\"kind\": \"feature\", \"name\": \"Source\","
    print " \"source\": {\"path\": \"data.gpkg\", \"layer\": \"Source\"},"
    print " \"renderer\": {\"type\": \"uniqueValue\","
    print "  \"fields\": [{\"name\": \"NerroID\", \"isString\": false}], \"values\": ["
    for (k = 0; k < 100000; k++) {
        c = k % 64
        printf "%s{\"value\": \"%d\", \"heading\": \"NerroID\", \"symbol\": {\"type\": \"simpleMarker\", \"color\": [%d, %d, %d]}}\n",
               (k ? "," : ""), k, (c * 37) % 256, (c * 91) % 256, c * 4
    }
    print "]}},"
    print "{\"kind\": \"feature\", \"name\": \"Related\","
    print " \"source\": {\"path\": \"data.gpkg\", \"layer\": \"Related\"}}"
    print "]}"
}' > "$work/map.json"

# seconds and peak kilobytes of one command, as "SECONDS KB"; a failed command
# stops the script with its output
measure() {
    if ! /usr/bin/time -v -o "$work/time" "$@" > "$work/out" 2>&1; then
        cat "$work/out" "$work/time" >&2
        echo "failed: $*" >&2
        exit 1
    fi
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0
                                             for (i = 1; i <= n; i++) s = s * 60 + t[i] }
                /Maximum resident set size/ { kb = $2 }
                END { print s, kb }' "$work/time"
}

ours=$(measure env QT_QPA_PLATFORM=offscreen "$map" --headless "$work/map.json" \
    --tool copylegend --source-layer Source --source-field NerroID \
    --related-layer Related --related-field JunctionID --save "$work/out.json")
read -r ours_s ours_kb <<< "$ours"
[ -s "$work/out.json" ] || { echo "the headless run saved nothing" >&2; exit 1; }

peer=$(measure sqlite3 "$work/peer.gpkg" \
    "CREATE INDEX source_key ON Source(NerroID);
     CREATE TABLE legend AS
       SELECT r.JunctionID AS value, f.first AS source
       FROM Related r JOIN (SELECT NerroID, MIN(fid) AS first FROM Source GROUP BY NerroID) f
         ON f.NerroID = r.JunctionID;
     SELECT count(*) FROM legend;")
read -r peer_s peer_kb <<< "$peer"

awk -v os="$ours_s" -v ok="$ours_kb" -v ps="$peer_s" -v pk="$peer_kb" -v b="$bytes" 'BEGIN {
    printf "velorin-map headless: %.2f s, %.0f MiB peak\n", os, ok / 1024
    printf "sqlite3 indexed join: %.2f s, %.0f MiB peak\n", ps, pk / 1024
    printf "data set on disk:     %.0f MiB\n", b / 1048576
    printf "time ratio %.2f (goal <= 2), memory / size on disk %.2f (goal < 2)\n", os / ps, ok * 1024 / b
}'
