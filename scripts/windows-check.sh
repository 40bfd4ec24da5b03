#!/usr/bin/env bash
# The Windows stage: cross-builds Velorin.dll and its test programs with MinGW
# (i686), then, in a fresh Wine prefix with no display, runs the server tests,
# registers the library with regsvr32, reads the registry back, unregisters it
# (twice), and reads it back again; then the Windows user interface: the Win32
# toolkit on the real dialogs, the reference host's GDI canvas, and clicks
# through ICommand by a host embedding the reference host, with a person
# driving the dialogs and message boxes by window messages. Ends with the line
# "N passed, M failed" and exits non-zero on any failure. Needs the packages of
# scripts/setup.sh.
#
#   VELORIN_MINGW_BUILD_DIR  build folder (default: build/mingw)
#   VELORIN_MINGW_BUILD_TYPE Release (default, as shipped) or Debug
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${VELORIN_MINGW_BUILD_DIR:-$repo/build/mingw}
build_type=${VELORIN_MINGW_BUILD_TYPE:-Release}
step_timeout=120

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "[  OK  ] $1"; }
fail() { failed=$((failed + 1)); echo "[ FAIL ] $1"; }
finish() {
    echo "$passed passed, $failed failed"
    [[ $failed -eq 0 ]]
    exit
}

for tool in i686-w64-mingw32-g++-win32 i686-w64-mingw32-widl i686-w64-mingw32-windres \
    i686-w64-mingw32-objdump wine wineserver cmake ninja flock; do
    if ! command -v "$tool" >/dev/null; then
        fail "tool $tool is missing: run scripts/setup.sh (as root)"
        finish
    fi
done

mkdir -p "$build"
# One Windows stage at a time per build folder: two runs (two ctest runs of
# different presets) would overwrite each other's build.
exec 9>"$build/.windows-check.lock"
flock 9

# --- Cross build -------------------------------------------------------------
if cmake -S "$repo" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE="$build_type" -DVELORIN_DESKTOP=OFF >"$build/configure.log" 2>&1; then
    pass "cross configure"
else
    cat "$build/configure.log"
    fail "cross configure"
    finish
fi

# The DLL, its test programs, and every extension library the tree has so far:
# the extension must build with the MinGW compiler too. VelorinSharedRuntime is
# the same server on MinGW's shared runtime, for the click test's injected
# faults (see commands/com/CMakeLists.txt); it is never shipped.
targets=(Velorin VelorinSharedRuntime com_server_test com_registration_test win32_toolkit_test
    gdi_canvas_test win32_click_test)
known=$(ninja -C "$build" -t targets all 2>/dev/null | cut -d: -f1)
for layer in velorin_ui velorin_host velorin_forms velorin_zoomflash velorin_copylegend \
    velorin_commands; do
    grep -qx "$layer" <<<"$known" && targets+=("$layer")
done
if cmake --build "$build" -j2 --target "${targets[@]}" >"$build/build.log" 2>&1; then
    pass "cross build (${targets[*]})"
else
    tail -n 60 "$build/build.log"
    fail "cross build"
    finish
fi

dll="$build/commands/com/Velorin.dll"
shared_dll="$build/tests/win32/VelorinSharedRuntime.dll"
objdump=$(i686-w64-mingw32-objdump -p "$dll")

# Exports by fixed ordinal, and no MinGW runtime DLL that a host would lack.
exports_ok=1
ordinal=1
for name in DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer; do
    grep -Eq "\[ *$((ordinal - 1))\] \+base\[ *$ordinal\]" <<<"$objdump" &&
        grep -Eq "\[ *$((ordinal - 1))\] $name\$" <<<"$objdump" || exports_ok=0
    ordinal=$((ordinal + 1))
done
[[ $(grep -c '+base\[' <<<"$objdump") -eq 4 ]] || exports_ok=0
((exports_ok)) && pass "exports: the four entry points at ordinals 1-4" ||
    fail "exports: the four entry points at ordinals 1-4"
if grep -Eiq 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)' <<<"$objdump"; then
    fail "imports: Velorin.dll needs a MinGW runtime DLL"
else
    pass "imports: no MinGW runtime DLL"
fi

# --- Wine ----------------------------------------------------------------------
prefix_root=$(mktemp -d "${TMPDIR:-/tmp}/velorin-wine.XXXXXX")
export WINEPREFIX="$prefix_root/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
# Never offer the Mono or Gecko installers.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k >/dev/null 2>&1
    rm -rf "$prefix_root"
}
trap cleanup EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
dll_win=$(winpath "$dll")
shared_dll_win=$(winpath "$shared_dll")

# Runs one step with a time limit, so that nothing can hang the stage.
run() { timeout --kill-after=10 "$step_timeout" "$@"; }

if run wine wineboot --init >"$prefix_root/wineboot.log" 2>&1 && run wineserver -w; then
    pass "fresh Wine prefix"
else
    cat "$prefix_root/wineboot.log"
    fail "fresh Wine prefix"
    finish
fi
# Windows without a display: the null graphics driver. No debugger on a crash:
# the crashing program ends at once (and is counted) instead of waiting.
run wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
run wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /d '' /f >/dev/null 2>&1
# The desktop process started by wineboot had no driver; only a new wineserver
# session starts one with the null driver, or every window fails to be made.
run wineserver -w

# Runs a test program (its path under the build folder, without .exe) with its
# arguments and adds its cases to the totals. A program that dies before its
# closing line counts its finished cases and one failure; one that dies after
# it, one failure.
run_program() {
    local program=$1
    shift
    local output status
    output=$(run wine "$build/$program.exe" "$@" 2>&1)
    status=$?
    output=${output//$'\r'/}
    # Only the stage's own closing line may read "N passed, M failed".
    echo "$output" | grep -Ev '^\[ RUN  \]|^[0-9]+ passed, [0-9]+ failed$'
    local summary
    summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' <<<"$output" | tail -n 1)
    if [[ -n $summary ]]; then
        passed=$((passed + $(cut -d' ' -f1 <<<"$summary")))
        failed=$((failed + $(cut -d' ' -f3 <<<"$summary")))
        # A crash after the last case (while the process ends) still fails.
        if [[ $status -ne 0 && $(cut -d' ' -f3 <<<"$summary") -eq 0 ]]; then
            fail "${program}${*:+ $*} exited with code $status"
        fi
    else
        passed=$((passed + $(grep -c '^\[  OK  \]' <<<"$output")))
        fail "${program}${*:+ $*} ended without its summary"
    fi
}

regsvr32() {
    local what=$1
    shift
    if run wine regsvr32 /s "$@" "$dll_win" >/dev/null 2>&1; then
        pass "$what"
    else
        fail "$what (exit code $?)"
    fi
}

run_program tests/com/com_server_test "$dll_win"
run_program tests/com/com_registration_test --group=HostInstalled "$dll_win"
regsvr32 "regsvr32 registers"
regsvr32 "regsvr32 registers again over an existing registration"
run_program tests/com/com_registration_test --group=Registered "$dll_win"
regsvr32 "regsvr32 /u unregisters" /u
run_program tests/com/com_registration_test --group=Unregistered "$dll_win"
regsvr32 "regsvr32 /u a second time is harmless" /u
run_program tests/com/com_registration_test --group=Unregistered "$dll_win"
regsvr32 "regsvr32 registers for the take-over case"
run_program tests/com/com_registration_test --group=TakeOver "$dll_win"
regsvr32 "regsvr32 /u with a ProgID taken over" /u
run_program tests/com/com_registration_test --group=TakenOverKept "$dll_win"

# The Windows user interface.
run_program tests/win32/win32_toolkit_test
run_program tests/win32/gdi_canvas_test
# Clicks through the shipped library, then through its shared-runtime twin,
# which alone can catch a fault the embedded host throws.
run_program tests/win32/win32_click_test --group=Click "$dll_win"
run_program tests/win32/win32_click_test "$shared_dll_win"

finish
