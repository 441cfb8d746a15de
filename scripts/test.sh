#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit and window tests
# offscreen, desktop tests on private Xvfb displays they start themselves, and
# the Windows backend's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${VEMO_PRESET:-default}"

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j 2
if [ -x scripts/wine-tests.sh ] && [ "${VEMO_WITH_WINE:-1}" = 1 ]; then
  bash scripts/wine-tests.sh
fi
