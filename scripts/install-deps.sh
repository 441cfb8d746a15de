#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when
# some are missing. Needs root or sudo for apt-get.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6sql6-sqlite libgl-dev libsqlite3-dev sqlite3
  libx11-dev libxtst-dev
  xvfb jwm openbox x11-utils xdotool xclip imagemagick fonts-wqy-microhei
  xterm lxterminal gnome-terminal gnome-console termit dbus-daemon # the terminals the desktop tests paste into
  desktop-file-utils libbenchmark-dev
  python3 unicode-data
  libpq-dev postgresql postgresql-common # the team library and its server for the tests
  clang-14 libclang-rt-14-dev rapidjson-dev # the fuzz targets (scripts/fuzz.sh)
)
if [ "${VEMO_WITH_WINE:-1}" = 1 ]; then
  packages+=(g++-mingw-w64-x86-64-posix wine wine64)
  # The Windows packages (scripts/build-windows.sh: Qt and SQLite for Windows
  # from Debian's sources, the installer) and their tests under Wine.
  packages+=(ninja-build dpkg-dev tcl qt6-base-dev-tools nsis openbox)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
