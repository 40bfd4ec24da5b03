#!/usr/bin/env bash
# The manual pages are written by hand; this keeps them true to the programs:
# the options each page names are exactly those its program's --help names, and
# velorin-map --version shows the version the build was given.
#
#   check_manual_pages.sh PAGES_DIR VELORIN_MAP VELORIN_MAKE_SAMPLE VERSION
set -euo pipefail
pages=$1 map=$2 sample=$3 version=$4
export QT_QPA_PLATFORM=offscreen

# An option is a dash or two and a word, not part of a longer word
# ("N-th", "frame-*.png" are none); troff writes a dash as \-.
options() { grep -oP '(?<![A-Za-z0-9-])--?[a-z](?:[a-z-]*[a-z])?' | sort -u; }

status=0
compare() {
    local name=$1 program=$2 from_help from_page
    from_help=$(timeout 10 "$program" --help | options)
    from_page=$(sed 's/\\-/-/g' "$pages/$name.1" | options)
    if [[ -z "$from_help" ]]; then
        echo "FAIL $name: --help names no option"; status=1; return
    fi
    if [[ "$from_help" != "$from_page" ]]; then
        echo "FAIL $name: options differ (< --help, > $name.1):"
        diff <(echo "$from_help") <(echo "$from_page") | grep '^[<>]' || true
        status=1
    else
        echo "ok   $name: $(echo "$from_help" | wc -l) options, as --help"
    fi
}
compare velorin-map "$map"
compare velorin-make-sample "$sample"

shown=$(timeout 10 "$map" --version)
if [[ "$shown" != "velorin-map $version" ]]; then
    echo "FAIL velorin-map --version says \"$shown\", the build's version is $version"; status=1
else
    echo "ok   $shown"
fi
exit $status
