#!/usr/bin/env bash
# Builds the Windows program from Linux in one command and fills dist/ with
#   vemo-<version>-windows-x64.zip   the portable program folder
#   vemo-<version>-setup.exe         the per-user installer (NSIS)
# printing the dist folder as its last line.
#
#   scripts/build-windows.sh [dist-folder]     (default: dist/ in the tree)
#
# Qt and SQLite for Windows come from Debian's own sources, built once into a
# per-user cache by scripts/windows/deps-cache.sh (about 30 minutes on two
# cores the first time; later runs reuse it). The program is cross-built with
# MinGW-w64 in build-windows/ against them, with the host's Qt tools.
# Environment: VEMO_JOBS (default: the number of processors),
# VEMO_WINDOWS_CACHE (see deps-cache.sh), VEMO_WINDOWS_BUILD (default build-windows/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dist=${1:-$root/dist}
case $dist in /*) ;; *) dist=$PWD/$dist ;; esac
build=${VEMO_WINDOWS_BUILD:-$root/build-windows}
jobs=${VEMO_JOBS:-$(nproc)}
say() { printf 'build-windows: %s\n' "$*" >&2; }
die() { say "$*"; exit 1; }
started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started)) s"; }

# Every tool with the Debian package that brings it.
declare -A package_of=(
    [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix [x86_64-w64-mingw32-strip]=binutils-mingw-w64-x86-64
    [x86_64-w64-mingw32-objdump]=binutils-mingw-w64-x86-64 [cmake]=cmake [ninja]=ninja-build [g++]=g++
    [makensis]=nsis [python3]=python3 [dpkg-source]=dpkg-dev [tclsh]=tcl [make]=make
)
missing=()
for tool in "${!package_of[@]}"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("${package_of[$tool]}")
done
[[ -x /usr/lib/qt6/libexec/moc ]] || missing+=(qt6-base-dev-tools)
[[ -f /usr/include/sqlite3.h ]] || missing+=(libsqlite3-dev)
dpkg-query -W qt6-base-dev >/dev/null 2>&1 || missing+=(qt6-base-dev)
if ((${#missing[@]})); then
    mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
    die "missing Debian packages: ${missing[*]} (install them with: apt-get install --no-install-recommends ${missing[*]}, or run scripts/install-deps.sh)"
fi

version=$(sed -nE 's/^project\(vemo VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || die "no version in CMakeLists.txt"

# 1. Qt and SQLite for Windows, from the cache or built into it.
deps=$(bash "$root/scripts/windows/deps-cache.sh" | tail -n1)
[[ -f $deps/COMPLETE ]] || die "the Qt and SQLite cache did not come about"
say "Qt and SQLite for Windows: $deps ($(elapsed))"

# 2. The build's own tool that makes the empty library, for this machine.
mkdir -p "$build/host"
host_tool=$build/host/vemo_make_empty_library
if [[ ! -x $host_tool || $root/src/core/tools/make_empty_library.cpp -nt $host_tool || $root/src/core/LibrarySchema.h -nt $host_tool ]]; then
    g++ -std=c++20 -O2 -I"$root/src/core" "$root/src/core/tools/make_empty_library.cpp" -lsqlite3 -o "$host_tool"
fi

# 3. The program, cross-built.
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DVEMO_WINDOWS_DEPS="$deps" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DVEMO_WARNINGS_AS_ERRORS=ON -DVEMO_BUILD_BENCH=OFF -DVEMO_BUILD_TESTS=ON \
    -DVEMO_HOST_MAKE_EMPTY_LIBRARY="$host_tool" "${launcher[@]}" >"$build/configure.log" 2>&1 ||
    { tail -40 "$build/configure.log" >&2; die "configuring the Windows build failed (log: $build/configure.log)"; }
cmake --build "$build" -j "$jobs" || die "building the Windows program failed"
say "program built ($(elapsed))"

# 4. The portable folder: the program, Qt's DLLs and plug-ins, the MinGW
#    runtime, the empty library, the icon, the guide and the licence texts.
product=Vemo文本收集器
stage=$build/stage/$product
rm -rf "$build/stage"
mkdir -p "$stage"/{platforms,styles,imageformats,licences}
qt=$deps/qt
mingw_gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
runtime=(
    "$mingw_gcc/libstdc++-6.dll" "$mingw_gcc/libgcc_s_seh-1.dll"
    "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)"
)
for f in "${runtime[@]}"; do
    [[ -f $f ]] || f=/usr/x86_64-w64-mingw32/lib/$(basename "$f")
    [[ -f $f ]] || die "MinGW runtime DLL not found: $(basename "$f")"
    cp "$f" "$stage/"
done
cp "$build/bin/vemo.exe" "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$qt/plugins/imageformats/qico.dll" "$stage/imageformats/"
cp "$root/src/app/resources/$product.ico" "$build/bin/guide.html" "$stage/"
cp "$build/src/core/tools/VBCode.mdb" "$stage/VBCode.mdb"
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "$stage"/*.exe "$stage"/*/*.dll

# Every DLL the program and its plug-ins import is either the system's or shipped.
wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
system_dlls='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|imm32|winmm|ws2_32|version|uxtheme|dwmapi|shlwapi|uuid|psapi|netapi32|userenv|wtsapi32|setupapi|d3d9|d3d11|d2d1|dwrite|dxgi|shcore|authz|mpr|comctl32|msvcrt|ntdll|ucrtbase|winspool|crypt32|bcrypt|secur32|rpcrt4|d3d12|dxgi|api-ms-win-.*)\.(dll|drv)$'
while read -r dll; do
    lower=${dll,,}
    [[ $lower =~ $system_dlls ]] && continue
    # Wine's own copy of a DLL means Windows has it too.
    [[ -f $wine_dlls/$lower ]] && continue
    [[ -f $stage/$dll ]] || die "$dll is imported but not shipped"
done < <(x86_64-w64-mingw32-objdump -p "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll | sed -nE 's/^\s*DLL Name: (.*)$/\1/p' | sort -u)

# Licence texts: Qt is shipped as replaceable DLLs under the LGPL 3; the
# source it was built from, and how, is named beside it.
cp "$qt"/LGPL-3.0* "$stage/licences/Qt-LGPL-3.0.txt"
cp "$qt"/GPL-3.0* "$stage/licences/GPL-3.0.txt" 2>/dev/null || true
cp "$qt/debian-copyright" "$stage/licences/Qt-copyright.txt" 2>/dev/null || true
# The Debian source description: the files and their SHA-256 sums the DLLs were built from.
cp "$qt"/qt6-base_*.dsc "$stage/licences/" 2>/dev/null || true
[[ -f $deps/sqlite/LICENSE.md ]] && cp "$deps/sqlite/LICENSE.md" "$stage/licences/SQLite-LICENSE.md"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/MinGW-GCC-runtime-copyright.txt" 2>/dev/null || true
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licences/MinGW-w64-copyright.txt" 2>/dev/null || true
qt_version=$(sed -n 's/^qt //p' "$deps/COMPLETE")
sqlite_version=$(sed -n 's/^sqlite //p' "$deps/COMPLETE")
{
    echo "$product $version for 64-bit Windows"
    echo
    echo "Qt $qt_version (QtCore, QtGui, QtWidgets and the plug-ins in platforms/, styles/, imageformats/)"
    echo "is used under the GNU Lesser General Public License version 3 (Qt-LGPL-3.0.txt, with GPL-3.0.txt)."
    echo "It is shipped unmodified as separate DLLs: you may replace Qt6*.dll and the plug-ins with your own"
    echo "build of a compatible Qt 6.4 version (MinGW-w64, x86_64, posix threads)."
    echo "The Qt DLLs were built from Debian's source package qt6-base $qt_version"
    echo "(https://deb.debian.org/debian/pool/main/q/qt6-base/, with Debian's patches; Qt's own source is"
    echo "https://download.qt.io/archive/qt/6.4/6.4.2/) by scripts/windows/deps-cache.sh in the program's source."
    echo
    echo "SQLite $sqlite_version (Debian's source package sqlite3) is in the public domain and built into vemo.exe."
    echo "libstdc++-6.dll, libgcc_s_seh-1.dll: GCC runtime, GPL 3 with the GCC Runtime Library Exception."
    echo "libwinpthread-1.dll: MinGW-w64 winpthreads, MIT/BSD-style licence (MinGW-w64-copyright.txt)."
} >"$stage/licences/README.txt"

# 5. The zip (names in UTF-8, flagged so, as Windows' own unzip reads them)
#    and the installer.
mkdir -p "$dist"
zip=$dist/vemo-$version-windows-x64.zip
setup=$dist/vemo-$version-setup.exe
rm -f "$zip" "$setup"
python3 - "$build/stage" "$product" "$zip" <<'PY'
import os, sys, zipfile
base, top, out = sys.argv[1:4]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for folder, dirs, files in os.walk(os.path.join(base, top)):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, base))
PY

# The installer's file lists: everything but the library, which is put only
# where none is yet.
python3 - "$stage" "$build/stage" <<'PY'
import os, sys
stage, out = sys.argv[1:3]
files = sorted(os.path.relpath(os.path.join(d, f), stage) for d, _, fs in os.walk(stage) for f in fs)
files = [f for f in files if f != "VBCode.mdb"]
folders = sorted({os.path.dirname(f) for f in files} - {""}, reverse=True)
win = lambda p: p.replace("/", "\\")
with open(os.path.join(out, "files-install.nsh"), "w", encoding="utf-8") as nsh:
    for f in files:
        sub = os.path.dirname(f)
        nsh.write('SetOutPath "$INSTDIR%s"\n' % ("\\" + win(sub) if sub else ""))
        nsh.write('File "%s"\n' % os.path.join(stage, f))
    nsh.write('SetOutPath "$INSTDIR"\n')
with open(os.path.join(out, "files-uninstall.nsh"), "w", encoding="utf-8") as nsh:
    for f in files:
        nsh.write('Delete "$INSTDIR\\%s"\n' % win(f))
    for d in folders:
        nsh.write('RMDir "$INSTDIR\\%s"\n' % win(d))
PY
cp "$stage/VBCode.mdb" "$stage/$product.ico" "$build/stage/"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$build/stage" -DOUTFILE="$setup" \
    "$root/scripts/windows/installer.nsi" >&2 || die "making the installer failed"

# Signed with nothing: Windows SmartScreen warns once about an unknown publisher.
limit=$((20 * 1024 * 1024))
for f in "$zip" "$setup"; do
    size=$(stat -c %s "$f")
    ((size < limit)) || die "$(basename "$f") is $size bytes, over 20 MB"
    say "$(basename "$f"): $(awk -v s="$size" 'BEGIN { printf "%.1f MB", s / 1048576 }')"
done
say "done after $(elapsed)"
echo "$dist"
