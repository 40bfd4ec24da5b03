#!/usr/bin/env bash
# Headless Copy Legend Colors end to end (open the data set, walk, save the
# document; no frames) at 1,000,000 Source points with 100,000 keys and 100,000
# Related points, against its peer: the same join done by sqlite3 on the same
# GeoPackage with an index on the Source key (the first Source feature of each
# key, joined to every Related feature holding that key). Prints both wall times,
# both peaks of resident memory (medians of three runs), the data set's size on
# disk and the ratios; the same run on a map of 3 features, which is what any
# run costs before its data; what GDAL's own ogrinfo holds resident to open
# that 3-feature data set (the floor of any program that links GDAL); and the
# peak of our heap alone, under valgrind's massif.
#   bench/copylegend_end_to_end.sh [path/to/velorin-map]   (a release build)
set -euo pipefail

map=${1:-build/release/app/velorin-map}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# make_data DIR SOURCE KEYS RELATED: DIR/data.gpkg with SOURCE Source points
# over KEYS keys and RELATED Related points, and DIR/map.json drawing Source by
# a legend of its KEYS keys, one of 64 markers each (--categorize stops at the
# symbology dialog's 500 values, so the legend comes in a document), and
# Related with the default renderer.
make_data() {
    local dir=$1 source=$2 keys=$3 related=$4
    mkdir -p "$dir"
    awk -v n="$source" -v k="$keys" 'BEGIN { print "x,y,NerroID";
        for (i = 0; i < n; i++) printf "%d,%d,%d\n", i % 1000, int(i / 1000), (i * 7919) % k }' \
        > "$dir/source.csv"
    awk -v n="$related" 'BEGIN { print "x,y,JunctionID";
        for (i = 0; i < n; i++) printf "%d.5,%d.5,%d\n", i % 1000, int(i / 1000), i }' \
        > "$dir/related.csv"
    local common=(-oo X_POSSIBLE_NAMES=x -oo Y_POSSIBLE_NAMES=y -oo AUTODETECT_TYPE=YES
                  -oo KEEP_GEOM_COLUMNS=NO -lco SPATIAL_INDEX=NO)
    ogr2ogr -f GPKG "$dir/data.gpkg" "$dir/source.csv" -nln Source "${common[@]}"
    ogr2ogr -update "$dir/data.gpkg" "$dir/related.csv" -nln Related "${common[@]}"
    rm "$dir/source.csv" "$dir/related.csv"
    awk -v k="$keys" 'BEGIN {
        print "{\"velorinMapDocument\": 1, \"layers\": ["
        print "{\"kind\": \"feature\", \"name\": \"Source\","
        print " \"source\": {\"path\": \"data.gpkg\", \"layer\": \"Source\"},"
        print " \"renderer\": {\"type\": \"uniqueValue\","
        print "  \"fields\": [{\"name\": \"NerroID\", \"isString\": false}], \"values\": ["
        for (v = 0; v < k; v++) {
            c = v % 64
            printf "%s{\"value\": \"%d\", \"heading\": \"NerroID\", \"symbol\": {\"type\": \"simpleMarker\", \"color\": [%d, %d, %d]}}\n",
                   (v ? "," : ""), v, (c * 37) % 256, (c * 91) % 256, c * 4
        }
        print "]}},"
        print "{\"kind\": \"feature\", \"name\": \"Related\","
        print " \"source\": {\"path\": \"data.gpkg\", \"layer\": \"Related\"}}"
        print "]}"
    }' > "$dir/map.json"
}

make_data "$work/full" 1000000 100000 100000
make_data "$work/tiny" 3 3 3
cp "$work/full/data.gpkg" "$work/peer.gpkg"
bytes=$(stat -c %s "$work/full/data.gpkg")

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

# the middle of three "SECONDS KB" lines on stdin, each column on its own
middle() {
    local lines
    lines=$(cat)
    echo "$(cut -d' ' -f1 <<< "$lines" | sort -g | sed -n 2p)" \
         "$(cut -d' ' -f2 <<< "$lines" | sort -g | sed -n 2p)"
}

# three runs of a command, as the middle "SECONDS KB"
median3() {
    for _ in 1 2 3; do measure "$@"; done | middle
}

# velorin-map headless on DIR's map, saving DIR/out.json
ours_on() {
    median3 env QT_QPA_PLATFORM=offscreen "$map" --headless "$1/map.json" \
        --tool copylegend --source-layer Source --source-field NerroID \
        --related-layer Related --related-field JunctionID --save "$1/out.json"
}

read -r ours_s ours_kb <<< "$(ours_on "$work/full")"
[ -s "$work/full/out.json" ] || { echo "the headless run saved nothing" >&2; exit 1; }
# What any run costs before its data: the libraries mapped (GDAL with every
# driver, Qt), their start, the window's toolkit.
read -r fixed_s fixed_kb <<< "$(ours_on "$work/tiny")"

# GDAL's own floor: ogrinfo opening the 3-feature data set maps the same
# libraries and registers the same drivers as any program linked with GDAL.
read -r _ gdal_kb <<< "$(median3 ogrinfo -so "$work/tiny/data.gpkg" Source)"

# The heap alone (what the program allocates, not the libraries it maps), at its
# peak, in bytes: the largest heap plus allocator overhead of massif's snapshots.
heap_bytes=""
if command -v valgrind > /dev/null; then
    QT_QPA_PLATFORM=offscreen valgrind --tool=massif --massif-out-file="$work/massif" \
        "$map" --headless "$work/full/map.json" --tool copylegend --source-layer Source \
        --source-field NerroID --related-layer Related --related-field JunctionID \
        --save "$work/full/out.json" > "$work/out" 2>&1 || { cat "$work/out" >&2; exit 1; }
    heap_bytes=$(awk -F= '/^mem_heap_B=/ { h = $2 } /^mem_heap_extra_B=/ { if (h + $2 > m) m = h + $2 }
                          END { print m }' "$work/massif")
fi

# sqlite3 writes into the file it joins in, so each run has a fresh copy, made
# before the clock starts.
peer_runs=()
for run in 1 2 3; do
    cp "$work/peer.gpkg" "$work/peer-$run.gpkg"
    peer_runs+=("$(measure sqlite3 "$work/peer-$run.gpkg" \
        "CREATE INDEX source_key ON Source(NerroID);
         CREATE TABLE legend AS
           SELECT r.JunctionID AS value, f.first AS source
           FROM Related r JOIN (SELECT NerroID, MIN(fid) AS first FROM Source GROUP BY NerroID) f
             ON f.NerroID = r.JunctionID;
         SELECT count(*) FROM legend;")")
    rm "$work/peer-$run.gpkg"
done
read -r peer_s peer_kb <<< "$(printf '%s\n' "${peer_runs[@]}" | middle)"

awk -v os="$ours_s" -v ok="$ours_kb" -v ps="$peer_s" -v pk="$peer_kb" -v b="$bytes" \
    -v fs="$fixed_s" -v fk="$fixed_kb" -v gk="$gdal_kb" -v hb="$heap_bytes" 'BEGIN {
    printf "velorin-map headless: %.2f s, %.0f MiB peak (medians of 3)\n", os, ok / 1024
    printf "  the same on 3 features: %.2f s, %.0f MiB peak (what any run costs)\n", fs, fk / 1024
    printf "sqlite3 indexed join: %.2f s, %.0f MiB peak (medians of 3)\n", ps, pk / 1024
    printf "data set on disk:     %.0f MiB\n", b / 1048576
    printf "time ratio %.2f (goal <= 2), memory / size on disk %.2f (goal < 2)\n", os / ps, ok * 1024 / b
    printf "beyond the 3-feature run: memory / size on disk %.2f\n", (ok - fk) * 1024 / b
    printf "ogrinfo (GDAL) opening the 3-feature data set: %.0f MiB peak\n", gk / 1024
    if (hb != "") printf "heap peak (massif): %.0f MiB, / size on disk %.2f\n", hb / 1048576, hb / b
    else print "heap peak: not measured (valgrind is not installed)"
}'
