#!/usr/bin/env bash
# Velorin in the real QGIS application, unattended on a virtual X server: QGIS
# starts with the plugin (from the build tree) enabled on the sample's project,
# and drive.py clicks both tools as a person would. The run is judged by the
# result file drive.py writes, not by QGIS's exit status (its crash handler can
# end with 0).
#
#   scripts/qgis/e2e.sh BUILD_DIR WORK_DIR [SCREENSHOT_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
work=$2
shots=${3:-}
plugin_dir="$build/qgis_plugin/velorin"
[[ -f "$plugin_dir/libvelorinqgis.so" ]] || { echo "e2e: no plugin in $plugin_dir" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/home/profiles/default/QGIS" "$work/runtime"
chmod 700 "$work/runtime"
work=$(cd "$work" && pwd)
# The sample is written here, unless a caller made it already (and loaded it
# into a database: VELORIN_POSTGRES, read by make_project.py).
if [[ -n "${VELORIN_E2E_SAMPLE:-}" ]]; then
    cp -r "$VELORIN_E2E_SAMPLE" "$work/sample"
else
    "$build/tools/make_sample/velorin-make-sample" "$work/sample" >/dev/null
fi
export XDG_RUNTIME_DIR="$work/runtime" LANG=C.UTF-8 LC_ALL=C.UTF-8
# The desktop application runs on the virtual X server only: the offscreen
# platform the other tests set is no place for it.
unset QT_QPA_PLATFORM
/usr/bin/python3 "$here/make_project.py" "$work/sample/hydrology.json" >/dev/null 2>"$work/project.log" ||
    { echo "e2e: no project; make_project.py said:" >&2; cat "$work/project.log" >&2; exit 1; }

# A profile of its own: the plugin's folder among QGIS's plugin paths, and the
# plugin enabled under its library's name.
cat >"$work/home/profiles/default/QGIS/QGIS3.ini" <<INI
[plugins]
searchPathsForPlugins=$plugin_dir

[Plugins]
libvelorinqgis=true
INI

export VELORIN_E2E_RESULT="$work/result.json"
export VELORIN_E2E_SHOTS="$shots"
rm -f "$VELORIN_E2E_RESULT"
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
    qgis --nologo --noversioncheck --profiles-path "$work/home" \
    --code "$here/drive.py" "$work/sample/hydrology.qgz" >"$work/qgis.log" 2>&1 || true

if [[ ! -f "$VELORIN_E2E_RESULT" ]]; then
    echo "e2e: QGIS wrote no result; its output:" >&2
    tail -n 40 "$work/qgis.log" >&2
    exit 1
fi
/usr/bin/python3 - "$VELORIN_E2E_RESULT" <<'PY'
import json, sys
result = json.load(open(sys.argv[1], encoding="utf-8"))
for c in result["checks"]:
    print(("ok   " if c["ok"] else "FAIL ") + c["check"] + ("" if c["ok"] else ": " + c["detail"]))
sys.exit(0 if result["ok"] else 1)
PY
