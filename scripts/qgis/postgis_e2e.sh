#!/usr/bin/env bash
# Both tools in the real QGIS on PostGIS layers: a throwaway PostgreSQL cluster on
# a free localhost port (stopped and deleted at the end, whatever happens), the
# sample loaded into it with its mixed-case names kept (so every where clause
# must quote them), a QGIS project over its tables, and the same drive as
# e2e.sh. Needs postgresql-15 and postgresql-15-postgis-3 (scripts/setup.sh).
#
#   scripts/qgis/postgis_e2e.sh BUILD_DIR WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
work=$2
bin=/usr/lib/postgresql/15/bin
[[ -x "$bin/initdb" ]] || { echo "postgis_e2e: PostgreSQL 15 is not installed" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
cluster=$(mktemp -d)
# The server refuses to run as root: the cluster belongs to postgres.
as_postgres() {
    if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}
[[ $(id -u) -eq 0 ]] && chown postgres "$cluster"
stop() {
    as_postgres "$bin/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$cluster"
}
trap stop EXIT

port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
as_postgres "$bin/initdb" -D "$cluster/data" -A trust -U postgres >"$work/initdb.log"
as_postgres "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/log" -w \
    -o "-p $port -k $cluster -c listen_addresses=127.0.0.1" start >/dev/null
psql=(psql -q -h 127.0.0.1 -p "$port" -U postgres -v ON_ERROR_STOP=1)
"${psql[@]}" -c "create database hydrology" >/dev/null
"${psql[@]}" -d hydrology -c "create extension postgis" >/dev/null

"$build/tools/make_sample/velorin-make-sample" "$work/sample" >/dev/null
connection="host=127.0.0.1 port=$port dbname=hydrology user=postgres"
ogr2ogr -f PostgreSQL "PG:$connection" "$work/sample/hydrology.gpkg" \
    -lco LAUNDER=NO -lco GEOMETRY_NAME=geom -lco FID=fid >"$work/ogr2ogr.log" 2>&1

# The adapter's table of hostile keys and field names, on this database.
VELORIN_TEST_POSTGRES="$connection" QT_QPA_PLATFORM=offscreen \
    "$build/tests/qgis/qgis_host_tests" --gtest_filter='Providers/HostileKeys.*/2' \
    >"$work/hostile.log" 2>&1 ||
    { echo "postgis_e2e: the hostile keys failed on PostGIS:" >&2; tail -n 30 "$work/hostile.log" >&2; exit 1; }
grep -q '\[  PASSED  \] 1 test' "$work/hostile.log" ||
    { echo "postgis_e2e: the hostile keys did not run on PostGIS" >&2; exit 1; }
! grep -q '\[  SKIPPED \]' "$work/hostile.log" ||
    { echo "postgis_e2e: the hostile keys were skipped" >&2; exit 1; }

VELORIN_POSTGRES="$connection" VELORIN_E2E_SAMPLE="$work/sample" \
    bash "$here/e2e.sh" "$build" "$work/qgis"
