#!/usr/bin/env bash
# Runs the end-to-end tests of the Windows program under Wine: the packages
# scripts/build-windows.sh made, driven from Linux by tst_wine_program (built
# with the Linux tests) on private Xvfb displays with jwm and openbox, each
# test in a fresh Wine prefix.
#
#   scripts/windows/wine-e2e.sh [linux-build] [dist] [windows-build]
#       defaults: build/, dist/, build-windows/ in the tree
#
# Debian packages: wine wine64 xvfb jwm openbox xdotool sqlite3 imagemagick python3
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
abs() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
build=$(abs "${1:-$root/build}")
dist=$(abs "${2:-$root/dist}")
windows=$(abs "${3:-$root/build-windows}")
say() { printf 'wine-e2e: %s\n' "$*" >&2; }

missing=()
for tool in wine wineserver wineboot Xvfb jwm openbox xdotool sqlite3 import python3 timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if ((${#missing[@]})); then
    say "missing tools: ${missing[*]}"
    say "install them with: apt-get install --no-install-recommends wine wine64 xvfb jwm openbox xdotool sqlite3 imagemagick python3"
    exit 2
fi
test_program=$build/bin/tst_wine_program
[[ -x $test_program ]] || { say "no $test_program: build the Linux tree first (scripts/test.sh)"; exit 2; }
[[ -f $windows/bin/vemo_text_box.exe ]] || { say "no $windows/bin/vemo_text_box.exe: run scripts/build-windows.sh"; exit 2; }

export VEMO_WINDOWS_DIST=$dist VEMO_WINDOWS_PEERS=$windows/bin
started=$(date +%s)
status=0
# Bounded: a hung Wine never holds CI for longer than this.
timeout --kill-after=30 1800 "$test_program" -maxwarnings 0 || status=$?
say "finished after $(($(date +%s) - started)) s with status $status"
exit "$status"
