#!/usr/bin/env bash
# Installs what is missing, builds, installs the program into a per-user
# program folder and starts it there on the user's display.
#
# The program keeps its library (VBCode.mdb) and the backup folder beside its
# own executable, so it runs from the installed folder, never from the build
# folder: removing or rebuilding the build leaves the user's texts alone.
# Installing again replaces the program but never an existing library.
#
# VEMO_PREFIX chooses the program folder (default ~/.local/opt/vemo); the
# program, its library and backups then live in "$VEMO_PREFIX/bin".
set -euo pipefail
cd "$(dirname "$0")/.."
prefix="${VEMO_PREFIX:-$HOME/.local/opt/vemo}"
VEMO_WITH_WINE=0 bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target vemo
# Earlier versions ran the program from build/bin: a library kept there moves
# along the first time, so no collected text is left behind.
# A library already in the program folder stays, also a link that leads nowhere.
if [ ! -e "$prefix/bin/VBCode.mdb" ] && [ ! -L "$prefix/bin/VBCode.mdb" ] && [ -s build/bin/VBCode.mdb ]; then
  mkdir -p "$prefix/bin"
  cp -p build/bin/VBCode.mdb "$prefix/bin/VBCode.mdb"
  [ -d build/bin/backup ] && cp -rp build/bin/backup "$prefix/bin/backup"
fi
cmake --install build --prefix "$prefix"
exec "$prefix/bin/vemo" "$@"
