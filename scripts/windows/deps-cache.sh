#!/usr/bin/env bash
# Builds Qt (QtCore, QtGui, QtWidgets, QtTest, the Windows platform plug-in) and
# SQLite for 64-bit Windows from Debian's own source packages, once, into a
# per-user cache outside the checkout, and prints the cache folder as its last
# line. Later runs reuse it. The build is written under a temporary name and
# renamed when complete, so an interrupted or failed build leaves no entry.
#
#   scripts/windows/deps-cache.sh            build or reuse; print the folder
#   scripts/windows/deps-cache.sh --where    print the folder it would use
#
# Environment: VEMO_WINDOWS_CACHE (default ~/.cache/vemo/windows),
# VEMO_JOBS (default: the number of processors).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
say() { printf 'windows-deps: %s\n' "$*" >&2; }
die() { say "$*"; exit 1; }

cache_root=${VEMO_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vemo/windows}
jobs=${VEMO_JOBS:-$(nproc)}

need_tools=(x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-gcc-posix cmake ninja dpkg-source tclsh make)
missing=()
for t in "${need_tools[@]}"; do command -v "$t" >/dev/null 2>&1 || missing+=("$t"); done
[[ -x /usr/lib/qt6/libexec/moc ]] || missing+=(qt6-base-dev-tools)
if ((${#missing[@]})); then
    say "missing: ${missing[*]}"
    die "install them with: apt-get install --no-install-recommends g++-mingw-w64-x86-64-posix cmake ninja-build dpkg-dev tcl qt6-base-dev qt6-base-dev-tools"
fi

# The same versions as the host's Qt and SQLite, so one code base builds both.
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) || die "qt6-base-dev is not installed"
sqlite_version=$(dpkg-query -W -f='${Version}' libsqlite3-dev 2>/dev/null) || die "libsqlite3-dev is not installed"

# Qt's configure flags: what the program needs, nothing more (see the README's
# Windows section for why each trap flag is there).
qt_flags=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_dynamicgl=OFF
)
sqlite_cflags="-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_DEFAULT_FOREIGN_KEYS=0"
recipe=$(printf '%s\n' "${qt_flags[@]}" "$sqlite_cflags" | cat - "$root/cmake/mingw-w64-qt.cmake" | sha256sum | cut -c1-10)
key="qt-${qt_version}_sqlite-${sqlite_version}_${recipe}"
key=${key//[^A-Za-z0-9._+-]/_}
target="$cache_root/$key"

if [[ ${1:-} == --where ]]; then
    echo "$target"
    exit 0
fi
if [[ -f $target/COMPLETE ]]; then
    say "reusing $target"
    echo "$target"
    exit 0
fi

mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/.building-$key.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM
started=$(date +%s)

# Debian's source entries: the same mirrors and suites as the binary ones.
ensure_deb_src() {
    if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return
    fi
    [[ $(id -u) -eq 0 ]] || die "no deb-src entry in the apt sources; as root this script adds one (or add it yourself)"
    local out=/etc/apt/sources.list.d/vemo-deb-src.sources
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
        sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$out"
    elif [[ -f /etc/apt/sources.list ]]; then
        grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' >/etc/apt/sources.list.d/vemo-deb-src.list
    else
        die "no apt sources found to copy a deb-src entry from"
    fi
    say "added a deb-src entry ($out)"
    apt-get update -qq
}

# Fetches a source package and checks every file against the SHA-256 sums its
# .dsc publishes before anything is unpacked.
fetch_source() {
    local name=$1 version=$2 dir=$3
    mkdir -p "$dir"
    (cd "$dir" && apt-get source --download-only -qq "$name=$version" >/dev/null) ||
        { ensure_deb_src && (cd "$dir" && apt-get source --download-only -qq "$name=$version" >/dev/null); } ||
        die "apt-get source $name=$version failed"
    local dsc
    dsc=$(ls "$dir"/"${name}"_*.dsc | head -n1)
    [[ -f $dsc ]] || die "no .dsc for $name"
    awk '/^Checksums-Sha256:/{on=1;next} /^[^ ]/{on=0} on&&NF==3{print $1"  "$3}' "$dsc" >"$dir/sums"
    [[ -s $dir/sums ]] || die "$dsc publishes no SHA-256 sums"
    (cd "$dir" && sha256sum --quiet -c sums) || die "the source of $name does not match the checksums Debian publishes; refused"
    (cd "$dir" && dpkg-source --no-check -x "$(basename "$dsc")" src >/dev/null) || die "unpacking $name failed"
}

say "building Qt $qt_version and SQLite $sqlite_version for Windows into $target (about 30 minutes on 2 cores)"
fetch_source sqlite3 "$sqlite_version" "$work/sqlite-src"
fetch_source qt6-base "$qt_version" "$work/qt-src"
say "sources fetched and checked after $(($(date +%s) - started)) s"

# SQLite: the amalgamation from the full source tree, then a static library.
prefix="$work/out"
mkdir -p "$prefix/sqlite/include" "$prefix/sqlite/lib" "$work/sqlite-build"
(cd "$work/sqlite-build" && "$work/sqlite-src/src/configure" >configure.log 2>&1 && make sqlite3.c >make.log 2>&1) ||
    { tail -20 "$work/sqlite-build/"*.log >&2; die "making sqlite3.c failed"; }
x86_64-w64-mingw32-gcc-posix $sqlite_cflags -c "$work/sqlite-build/sqlite3.c" -o "$work/sqlite-build/sqlite3.o"
x86_64-w64-mingw32-ar rcs "$prefix/sqlite/lib/libsqlite3.a" "$work/sqlite-build/sqlite3.o"
cp "$work/sqlite-build/sqlite3.h" "$work/sqlite-build/sqlite3ext.h" "$prefix/sqlite/include/" 2>/dev/null ||
    cp "$work/sqlite-build/sqlite3.h" "$prefix/sqlite/include/"
cp "$work/sqlite-src/src/LICENSE.md" "$prefix/sqlite/" 2>/dev/null || true
say "SQLite built after $(($(date +%s) - started)) s"

# Qt: configure with the host's tools, build, install.
cmake -S "$work/qt-src/src" -B "$work/qt-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-qt.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix/qt" "${qt_flags[@]}" >"$work/qt-configure.log" 2>&1 ||
    { tail -40 "$work/qt-configure.log" >&2; die "configuring Qt failed (log above)"; }
say "Qt configured after $(($(date +%s) - started)) s"
cmake --build "$work/qt-build" -j "$jobs" >"$work/qt-build.log" 2>&1 ||
    { grep -m5 -B2 -A10 'error' "$work/qt-build.log" >&2 || tail -40 "$work/qt-build.log" >&2; die "building Qt failed"; }
cmake --install "$work/qt-build" >"$work/qt-install.log" 2>&1 || { tail -20 "$work/qt-install.log" >&2; die "installing Qt failed"; }
cp "$work/qt-src/src/LICENSES/"LGPL-3.0* "$prefix/qt/" 2>/dev/null || true
cp "$work/qt-src/src/LICENSES/"GPL-3.0* "$prefix/qt/" 2>/dev/null || true
cp "$work/qt-src/src/debian/copyright" "$prefix/qt/debian-copyright" 2>/dev/null || true
cp "$work/qt-src/"*.dsc "$prefix/qt/" 2>/dev/null || true

printf 'qt %s\nsqlite %s\nrecipe %s\nbuilt %s in %s s\n' "$qt_version" "$sqlite_version" "$recipe" \
    "$(date -u +%FT%TZ)" "$(($(date +%s) - started))" >"$prefix/COMPLETE"
rm -rf "$target"
mv "$prefix" "$target"
say "done after $(($(date +%s) - started)) s"
echo "$target"
