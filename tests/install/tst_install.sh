#!/usr/bin/env bash
# Installing never replaces a library already in the program folder, whatever
# it is: a file, a link, a link that leads nowhere (a disk not mounted now).
# Covered: `cmake --install`, the build's maker of the empty library, and
# scripts/run.sh with its first-time move of a library kept in build/bin.
#
#   tst_install.sh <build folder> <source folder>
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/vemo-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A library of each kind in a program folder; what it must still be afterwards.
plant() { # <folder> <kind>
    mkdir -p "$1"
    case $2 in
    file) printf 'my texts' >"$1/VBCode.mdb" ;;
    link)
        printf 'my texts' >"$1.texts"
        ln -s "$1.texts" "$1/VBCode.mdb"
        ;;
    dangling) ln -s "$work/not mounted/VBCode.mdb" "$1/VBCode.mdb" ;;
    esac
}
kept() { # <folder> <kind> <how it was installed>
    local library=$1/VBCode.mdb
    case $2 in
    file) [[ ! -L $library && $(cat "$library") == 'my texts' ]] || fail "$3 replaced the library file" ;;
    link) [[ -L $library && $(readlink "$library") == "$1.texts" && $(cat "$library") == 'my texts' ]] ||
        fail "$3 replaced the link to the library" ;;
    dangling)
        [[ -L $library && $(readlink "$library") == "$work/not mounted/VBCode.mdb" ]] ||
            fail "$3 replaced the link that leads nowhere"
        [[ ! -e "$work/not mounted" ]] || fail "$3 wrote through the link that leads nowhere"
        ;;
    esac
}

for kind in file link dangling; do
    plant "$work/cmake-$kind/bin" "$kind"
    cmake --install "$build" --prefix "$work/cmake-$kind" >/dev/null
    kept "$work/cmake-$kind/bin" "$kind" "cmake --install"

    plant "$work/tool-$kind" "$kind"
    "$build/src/core/tools/vemo_make_empty_library" "$work/tool-$kind/VBCode.mdb"
    kept "$work/tool-$kind" "$kind" "the maker of the empty library"
done
# A first installation gets the empty library.
cmake --install "$build" --prefix "$work/fresh" >/dev/null
[[ -f $work/fresh/bin/VBCode.mdb && ! -L $work/fresh/bin/VBCode.mdb ]] || fail "no empty library on a first installation"

# scripts/run.sh in a copy of the tree whose build/ is this build, with the
# steps that install packages and build left out; the program it starts at
# the end prints its help.
mkdir -p "$work/tree/scripts" "$work/bin"
cp "$source/scripts/run.sh" "$work/tree/scripts/run.sh"
printf '#!/bin/sh\nexit 0\n' >"$work/tree/scripts/install-deps.sh"
ln -s "$build" "$work/tree/build"
real_cmake=$(command -v cmake)
printf '#!/bin/sh\ncase "$1" in --install) exec "%s" "$@" ;; esac\nexit 0\n' "$real_cmake" >"$work/bin/cmake"
chmod +x "$work/bin/cmake"
[[ -s $build/bin/VBCode.mdb ]] || fail "the build has no library beside the program to move along"
for kind in file link dangling; do
    plant "$work/run-$kind/bin" "$kind"
    if ! PATH="$work/bin:$PATH" VEMO_PREFIX="$work/run-$kind" bash "$work/tree/scripts/run.sh" --help >"$work/run.log" 2>&1; then
        cat "$work/run.log"
        fail "scripts/run.sh failed beside a library ($kind)"
    fi
    kept "$work/run-$kind/bin" "$kind" "scripts/run.sh"
done

((failures == 0)) && echo "PASS: every library was kept"
exit $((failures > 0))
