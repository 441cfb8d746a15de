#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the user's display.
set -euo pipefail
cd "$(dirname "$0")/.."
VEMO_WITH_WINE=0 bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target vemo
exec build/bin/vemo "$@"
