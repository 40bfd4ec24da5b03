#!/usr/bin/env bash
# The Debian packages as a person gets them: built by the project's own build
# (cmake --workflow --preset package, in build/package), checked by lintian,
# installed with apt, the installed velorin-map run headless on a sample the
# installed velorin-make-sample wrote, the real QGIS started on a fresh profile
# that enables the installed plugin and nothing from the build tree, then purged,
# with every file the packages had installed checked gone. The machine is left
# without the packages whatever happens (trap). Needs root, or sudo without a
# password.
#
#   scripts/package/package_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$1" && pwd)
work=$2
packages=(velorin velorin-qgis)

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo -n)
apt_get() {
    DEBIAN_FRONTEND=noninteractive timeout 300 "${as_root[@]}" apt-get -y -q \
        -o DPkg::Lock::Timeout=300 "$@"
}
# Known to dpkg in any state (installed, half-installed after a failed install,
# or only configuration left): what must be purged.
known() {
    local state
    state=$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != un* && "$state" != pn* ]]
}
fail() { echo "package test: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/home/profiles/default/QGIS" "$work/runtime"
chmod 700 "$work/runtime"
work=$(cd "$work" && pwd)

# Installing is machine-wide: two runs of this test at once (two checkouts) wait
# for each other rather than purge each other's packages.
# The lock file is opened for reading, so that whoever made it first (root or
# not) never keeps the other out.
lock=/tmp/velorin-package-test.lock
[[ -e "$lock" ]] || { : >"$lock" && chmod 644 "$lock"; }
exec 9<"$lock"
flock -w 1800 9 || fail "another package test holds $lock"

# A Velorin someone installed is theirs: this test would replace it and then
# purge it. Refuse, and say what is in the way.
for p in "${packages[@]}"; do
    ! known "$p" || fail "$p is installed on this machine; remove it first (apt-get purge $p)"
done
for f in /usr/bin/velorin-map /usr/bin/velorin-make-sample /usr/lib/qgis/plugins/libvelorinqgis.so; do
    [[ ! -e "$f" ]] || fail "$f exists (installed by hand?); remove it first"
done

cleanup() {
    local present=()
    for p in "${packages[@]}"; do known "$p" && present+=("$p"); done
    if ((${#present[@]})); then
        echo "package test: purging ${present[*]}"
        apt_get purge "${present[@]}" >>"$work/apt.log" 2>&1 ||
            echo "package test: apt-get purge ${present[*]} failed; see $work/apt.log" >&2
    fi
}
trap cleanup EXIT

echo "== building the packages (log: $work/build.log)"
out="$source_dir/build/package"
rm -f "$out"/*.deb
(cd "$source_dir" && timeout 1800 cmake --workflow --preset package) >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log" >&2; fail "the package build failed"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$out/CPackConfig.cmake")
[[ -n "$version" ]] || fail "no version in $out/CPackConfig.cmake"
debs=()
for p in "${packages[@]}"; do
    deb="$out/${p}_${version}_$(dpkg --print-architecture).deb"
    [[ -f "$deb" ]] || fail "the build made no $deb"
    debs+=("$deb")
done
echo "ok   built ${debs[*]##*/}"

if command -v lintian >/dev/null; then
    # Tags that stay, each for a reason given in packaging/lintian-overrides.txt.
    suppressed=$(grep -v '^#' "$source_dir/packaging/lintian-overrides.txt" | cut -d' ' -f1 |
                 paste -sd, -)
    timeout 300 lintian --fail-on error,warning --suppress-tags "$suppressed" "${debs[@]}" \
        >"$work/lintian.log" 2>"$work/lintian.err" ||
        { cat "$work/lintian.log" "$work/lintian.err" >&2; fail "lintian"; }
    echo "ok   lintian: no error or warning; $(grep -c '^[A-Z]: ' "$work/lintian.log" || true) other tags"
else
    fail "lintian is missing (scripts/setup.sh installs it)"
fi

echo "== installing with apt"
apt_get install "${debs[@]}" >"$work/apt.log" 2>&1 ||
    { tail -n 30 "$work/apt.log" >&2; fail "apt-get install failed"; }
dpkg -L "${packages[@]}" >"$work/files.txt"
for p in "${packages[@]}"; do
    [[ $(dpkg-query -W -f='${Version}' "$p") == "$version" ]] || fail "$p is not at $version"
done
for f in /usr/bin/velorin-map /usr/bin/velorin-make-sample /usr/lib/qgis/plugins/libvelorinqgis.so \
         /usr/share/applications/velorin-map.desktop /usr/share/icons/hicolor/48x48/apps/velorin-map.png \
         /usr/share/man/man1/velorin-map.1.gz /usr/share/man/man1/velorin-make-sample.1.gz \
         /usr/share/doc/velorin/README.md /usr/share/doc/velorin/map-document.md \
         /usr/share/doc/velorin/copyright /usr/share/doc/velorin-qgis/copyright; do
    grep -qxF "$f" "$work/files.txt" || fail "the packages do not install $f"
done
[[ $(command -v velorin-map) == /usr/bin/velorin-map ]] || fail "velorin-map is not /usr/bin's"
shown=$(timeout 10 /usr/bin/velorin-map --version)
[[ "$shown" == "velorin-map $version" ]] || fail "velorin-map --version says \"$shown\", not $version"
echo "ok   installed $version: $(wc -l <"$work/files.txt") paths; $shown"

echo "== the installed programs on a sample"
export LANG=C.UTF-8 LC_ALL=C.UTF-8 XDG_RUNTIME_DIR="$work/runtime"
(cd "$work" && timeout 60 /usr/bin/velorin-make-sample sample) >"$work/sample.log" 2>&1 ||
    { cat "$work/sample.log" >&2; fail "velorin-make-sample failed"; }
status=0
(cd "$work" && timeout 120 /usr/bin/velorin-map --headless sample/hydrology.json --tool copylegend \
    --source-layer Catchment --source-field NerroID \
    --related-layer NerroJunction --related-field NerroID \
    --save sample/coloured.json) >"$work/headless.log" 2>&1 || status=$?
grep -q "Finished Copying Legend Colors" "$work/headless.log" && ((status == 0)) &&
    [[ -s "$work/sample/coloured.json" ]] ||
    { cat "$work/headless.log" >&2; fail "velorin-map --headless ended with $status"; }
echo "ok   velorin-map --headless: Copy Legend Colors finished, saved sample/coloured.json"

echo "== QGIS with the installed plugin"
unset QT_QPA_PLATFORM
/usr/bin/python3 "$source_dir/scripts/qgis/make_project.py" "$work/sample/hydrology.json" \
    >/dev/null 2>"$work/project.log" || { cat "$work/project.log" >&2; fail "no QGIS project"; }
# A fresh profile that enables the plugin and names no plugin folder: QGIS can
# only find it where the package put it.
cat >"$work/home/profiles/default/QGIS/QGIS3.ini" <<INI
[Plugins]
libvelorinqgis=true
INI
export VELORIN_E2E_RESULT="$work/result.json" VELORIN_E2E_VERSION="$version"
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
    qgis --nologo --noversioncheck --profiles-path "$work/home" \
    --code "$here/drive.py" "$work/sample/hydrology.qgz" >"$work/qgis.log" 2>&1 || true
[[ -f "$VELORIN_E2E_RESULT" ]] || { tail -n 40 "$work/qgis.log" >&2; fail "QGIS wrote no result"; }
! grep -q "QGIS died on signal" "$work/qgis.log" || { cat "$work/qgis.log" >&2; fail "QGIS crashed"; }
/usr/bin/python3 - "$VELORIN_E2E_RESULT" <<'PY' || fail "QGIS with the installed plugin"
import json, sys
result = json.load(open(sys.argv[1], encoding="utf-8"))
for c in result["checks"]:
    print(("ok   " if c["ok"] else "FAIL ") + c["check"] + ("" if c["ok"] else ": " + c["detail"]))
sys.exit(0 if result["ok"] else 1)
PY

echo "== purging"
apt_get purge "${packages[@]}" >>"$work/apt.log" 2>&1 || fail "apt-get purge failed"
for p in "${packages[@]}"; do
    ! known "$p" || fail "dpkg still knows $p after the purge"
done
# Folders shared with other packages (/usr/bin, hicolor's) stay; every file,
# and every folder of our own, goes.
left=()
while IFS= read -r path; do
    if [[ -d "$path" && ! -L "$path" ]]; then
        [[ "$path" != *velorin* ]] || left+=("$path")
    elif [[ -e "$path" || -L "$path" ]]; then
        left+=("$path")
    fi
done <"$work/files.txt"
((${#left[@]} == 0)) || fail "left after the purge: ${left[*]}"
echo "ok   purged: none of the $(wc -l <"$work/files.txt") paths is left"
