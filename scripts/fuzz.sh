#!/usr/bin/env bash
# Runs one fuzz target under libFuzzer (the clang `fuzz` preset: address and
# undefined-behaviour sanitizers) for a number of seconds, starting from its seed
# corpus in fuzz/corpus/TARGET.
#   bash scripts/fuzz.sh TARGET SECONDS
#   TARGET: where_clause, map_document, numbers, field_text or command_line
# Inputs it finds interesting are kept in build/fuzz/corpus/TARGET, crashes in
# build/fuzz/crashes/TARGET (never in the repository). The run goes on after a
# crash (libFuzzer's fork mode), so one known fault does not hide the next. A
# crash input goes into fuzz/corpus/TARGET with its fix, and is replayed ever after.
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# != 2)); then
    sed -n '2,10p' "$0" >&2
    exit 2
fi
target=$1
seconds=$2
if [[ ! -d fuzz/corpus/$target ]]; then
    echo "fuzz.sh: no fuzz target \"$target\" (see fuzz/corpus)" >&2
    exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "fuzz_$target"

found=build/fuzz/corpus/$target
crashes=build/fuzz/crashes/$target
mkdir -p "$found" "$crashes"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -print_final_stats=1 -artifact_prefix="$crashes/" "$found" "fuzz/corpus/$target"
