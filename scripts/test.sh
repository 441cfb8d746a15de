#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit and window tests
# offscreen, desktop tests on private Xvfb displays they start themselves, the
# Windows backend's tests under Wine, the Windows packages with their
# end-to-end tests under Wine, and every fuzz target for a short while.
#   VEMO_PRESET=ci          the CMake preset (default: default)
#   VEMO_WITH_WINE=0        leaves out everything that needs Wine
#   VEMO_WITH_WINDOWS=0     leaves out the Windows packages and their tests
#   VEMO_FUZZ_SECONDS=0     leaves out the fuzz targets (default: 20 s each)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${VEMO_PRESET:-default}"
case "$preset" in
  default) build=build ;;
  *) build="build-$preset" ;;
esac

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j 2
if [ "${VEMO_WITH_WINE:-1}" = 1 ]; then
  bash scripts/wine-tests.sh
  # The Windows packages, built from Linux (Qt for Windows comes from a
  # per-user cache: about 30 minutes the first time on two cores), and the
  # Windows program tested end to end under Wine.
  if [ "${VEMO_WITH_WINDOWS:-1}" = 1 ]; then
    bash scripts/build-windows.sh dist
    bash scripts/windows/wine-e2e.sh "$build" dist build-windows
  fi
fi
# Every parser of untrusted input under libFuzzer, from the seed corpus with a
# fixed seed, so that a test run goes the way it went for whoever ran it last;
# longer campaigns (see the README) draw a new seed each time.
if [ "${VEMO_FUZZ_SECONDS:-20}" != 0 ]; then
  VEMO_FUZZ_SEED="${VEMO_FUZZ_SEED:-1}" bash scripts/fuzz.sh "${VEMO_FUZZ_SECONDS:-20}"
fi
