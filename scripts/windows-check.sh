#!/usr/bin/env bash
# Cross-builds the Windows binaries (mingw-w64, 32-bit x86 and x64) and compares
# what each one exports and imports with the lists in tests/windows/<arch>/.
# A missing, extra or undecorated export, an import from the wrong library or a
# compiler runtime DLL that would have to ship fails with a diff.
set -euo pipefail
cd "$(dirname "$0")/.."

TESTER_EXTRA_PACKAGES="g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32" scripts/bootstrap.sh

# Libraries whose members the mingw C runtime picks itself and that every
# Windows installation has: only their names are compared, not their members.
readonly system_dlls=" KERNEL32.dll msvcrt.dll "

# The names of the export table, in table order, one a line.
exports_of() {
    "$objdump" -p "$1" | awk '
        /^\[Ordinal\/Name Pointer\] Table/ { in_table = 1; next }
        in_table && NF == 0 { in_table = 0 }
        in_table { print $NF }'
}

# Every export has a name: the address table holds no more entries than the name table.
all_exports_named() {
    "$objdump" -p "$1" | awk '
        /^Number in:/ { counts = 1; next }
        counts && /Export Address Table/ { addresses = $NF; next }
        counts && /Name Pointer\/Ordinal/ { names = $NF; counts = 0 }
        END { exit !(addresses != "" && addresses == names) }'
}

# "DLL Name: <library>" for every imported library in table order, each but
# the system ones followed by its member names, a tab before each.
imports_of() {
    "$objdump" -p "$1" | awk -v system_dlls="$system_dlls" '
        /^\tDLL Name: / { dll = $3; print "DLL Name: " dll; members = 0; next }
        /^\tvma:  Hint\/Ord Member-Name/ { members = index(system_dlls, " " dll " ") == 0; next }
        members && NF == 0 { members = 0; next }
        members { print "\t" $NF }'
}

# The self-tests are GUI programs: WinMain, no console window.
gui_subsystem() {
    # grep -c reads to the end: an early exit would fail objdump's write under pipefail.
    "$objdump" -p "$1" | grep -c '^Subsystem[[:space:]].*(Windows GUI)$' >/dev/null
}

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Compares the table that $1 prints for $2 with the expected list $3.
compare() {
    local table=$1 binary=$2 expected=$3
    if diff -u --label "$expected" --label "$binary" "$expected" <("$table" "$binary"); then
        echo "ok: $binary ${table%_of}"
    else
        fail "$binary: ${table%_of} differ from $expected"
    fi
}

check_arch() {
    local preset=$1 arch=$2 triplet=$3
    objdump=$(command -v "$triplet-objdump" || command -v objdump)
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j2

    local bin="build/$preset/bin" lists="tests/windows/$arch" list name binary
    for list in "$lists"/*.exports "$lists"/*.imports; do
        name=$(basename "${list%.*}")
        binary=$bin/$name.dll
        [ -f "$binary" ] || binary=$bin/$name.exe
        if [ ! -f "$binary" ]; then
            fail "$name: no $bin/$name.dll or .exe was built"
            continue
        fi
        case $list in
        *.exports)
            compare exports_of "$binary" "$list"
            all_exports_named "$binary" || fail "$binary: an export without a name"
            ;;
        *.imports) compare imports_of "$binary" "$list" ;;
        esac
    done

    # Whatever was built has its lists, so nothing new ships unchecked.
    for binary in "$bin"/*.dll "$bin"/*.exe; do
        name=$(basename "${binary%.*}")
        [ -f "$lists/$name.imports" ] || fail "$binary: no $lists/$name.imports"
        case $binary in
        *.dll) [ -f "$lists/$name.exports" ] || fail "$binary: no $lists/$name.exports" ;;
        *.exe) gui_subsystem "$binary" || fail "$binary: not a Windows GUI program" ;;
        esac
    done
}

check_arch windows-x86 x86 i686-w64-mingw32
check_arch windows-x64 x64 x86_64-w64-mingw32

if [ "$failures" -ne 0 ]; then
    echo "windows-check: $failures failure(s)" >&2
    exit 1
fi
echo "windows-check: all export and import tables as expected"
