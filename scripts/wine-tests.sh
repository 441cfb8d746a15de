#!/usr/bin/env bash
# Cross-builds the Win32 platform backend and its tests with MinGW-w64 and runs
# them under Wine on a private Xvfb display.
#
#   scripts/wine-tests.sh [build-folder]      (default: build-win/ in the tree)
#
# Environment: WINE_TESTS_USE_DISPLAY=1 runs on the caller's $DISPLAY instead
# of a private Xvfb; CTEST_PARALLEL_LEVEL as usual.
# Debian packages: cmake g++-mingw-w64-x86-64-posix wine wine64 xvfb
set -euo pipefail
# Every step is bounded: the whole run ends within about nine minutes even
# when something hangs; a normal run takes about a minute.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-win}
case $build in /*) ;; *) build=$PWD/$build ;; esac

say() { printf 'wine-tests: %s\n' "$*"; }

missing=()
for tool in cmake ctest x86_64-w64-mingw32-g++-posix wine wineserver wineboot timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [[ ${WINE_TESTS_USE_DISPLAY:-0} != 1 ]]; then
    command -v Xvfb >/dev/null 2>&1 || missing+=(Xvfb)
elif [[ -z ${DISPLAY:-} ]]; then
    say "WINE_TESTS_USE_DISPLAY=1 but DISPLAY is not set"
    exit 2
fi
if ((${#missing[@]})); then
    say "missing tools: ${missing[*]}"
    say "install them with: apt-get install --no-install-recommends cmake g++-mingw-w64-x86-64-posix wine wine64 xvfb"
    exit 2
fi

started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started))s"; }

# A throwaway home and Wine prefix for every run: nothing of an earlier run or
# of the user's own Wine is seen.
work=$(mktemp -d "${TMPDIR:-/tmp}/vemo-wine.XXXXXX")
xvfb_pid=
child=
wineserver_up=0
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n $child ]]; then
        kill "$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    fi
    if ((wineserver_up)); then
        timeout 30 wineserver -k >/dev/null 2>&1 || true
        timeout 30 wineserver -w >/dev/null 2>&1 || true
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs a step as a child and waits for it, so that an interrupt is acted on at
# once rather than when the step ends.
run() {
    "$@" &
    child=$!
    local status=0
    wait "$child" || status=$?
    child=
    return "$status"
}

mkdir -p "$work/home" "$work/prefix"
export HOME=$work/home
export WINEPREFIX=$work/prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINESERVER WINELOADER

say "configure and build in $build"
run timeout 60 cmake -S "$root/tests/platform/win" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v wine)" \
    -DCMAKE_BUILD_TYPE=Debug >"$work/configure.log" 2>&1 || {
    cat "$work/configure.log"
    say "configure failed"
    exit 1
}
run timeout 200 cmake --build "$build" -j2
say "built after $(elapsed)"

if [[ ${WINE_TESTS_USE_DISPLAY:-0} != 1 ]]; then
    # Xvfb writes its display number to the descriptor once it is ready.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $work/display ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ ! -s $work/display ]]; then
        cat "$work/xvfb.log"
        say "Xvfb did not start"
        exit 1
    fi
    export DISPLAY=:$(tr -d '[:space:]' <"$work/display")
fi
say "display $DISPLAY"

# A server of our own, started before the tests with its output away from
# ctest: otherwise ctest waits for it to end after every test.
wineserver -p >/dev/null 2>&1 </dev/null
wineserver_up=1
if ! run timeout 120 wineboot -i >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log"
    say "creating the Wine prefix failed or took over 2 minutes"
    exit 1
fi
# A crash fails its test instead of waiting on a dialog nobody sees.
run timeout 30 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
say "Wine prefix ready after $(elapsed)"

status=0
run timeout 150 ctest --test-dir "$build" --output-on-failure --timeout 120 -j"${CTEST_PARALLEL_LEVEL:-2}" || status=$?
say "finished after $(elapsed)"
exit "$status"
