#!/usr/bin/env bash
# What the Windows executables are made of, read from the files themselves:
# PE32 for i386 or PE32+ for x86-64, GUI or console subsystem, only system
# DLLs imported, the manifest as the one resource, and the release zip's
# contents.
# Usage: tests/wine/binary.sh BUILD-DIR ARCH
#   win32: the mingw preset's build/mingw; win64: the mingw64 preset's build/mingw64
set -euo pipefail
build=${1:?usage: binary.sh BUILD-DIR win32|win64}
arch=${2:?usage: binary.sh BUILD-DIR win32|win64}
case $arch in
win32) triplet=i686-w64-mingw32 format=PE32 machine="Intel 80386" ;;
win64) triplet=x86_64-w64-mingw32 format=PE32+ machine=x86-64 ;;
*) echo "binary.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
objdump=$triplet-objdump
windres=$triplet-windres
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

check_exe() {
    local exe=$1 kind=$2 failed_before=$failed
    local desc; desc=$(file -b "$exe")
    [[ $desc == "$format executable ($kind) $machine"* ]] || fail "$exe is '$desc', want $format ($kind) $machine"

    # Only Windows' own DLLs: no libgcc, libstdc++ or winpthread beside it.
    local dll
    while read -r dll; do
        case "${dll,,}" in
        # shell32: the wide command line split into arguments, and dropped files.
        kernel32.dll | user32.dll | gdi32.dll | d3d9.dll | msvcrt.dll | shell32.dll) ;;
        *) fail "$exe imports $dll" ;;
        esac
    done < <($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')

    # One resource: the manifest (type 24, id 1) asking for asInvoker.
    local rc; rc=$($windres -J coff -i "$exe" -O rc)
    [ "$(grep -c '^/\* Type:' <<<"$rc")" = 1 ] || fail "$exe has other resources than the manifest"
    grep -q '^1 24 ' <<<"$rc" || fail "$exe has no manifest resource 1"
    grep -q 'requestedExecutionLevel level=""asInvoker"" uiAccess=""false""' <<<"$rc" ||
        fail "$exe's manifest does not request asInvoker without uiAccess"
    [ $failed = "$failed_before" ] || return 0
    echo "ok   $exe: $desc; imports $($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
}

check_exe "$build/platform/scanvane.exe" GUI
check_exe "$build/tools/scanvane-render.exe" console

# No x87 trigonometry left in the code: every sin, cos and tan is ours.
for exe in "$build/platform/scanvane.exe" "$build/tools/scanvane-render.exe"; do
    if $objdump -d "$exe" | grep -qE '\s(fsin|fcos|fsincos|fptan)\b'; then
        fail "$exe contains x87 trigonometry"
    fi
done

# The 64-bit build has the wide span fills, which spill 32-byte vectors to a
# stack MinGW's GCC does not align: every vector move must be an unaligned one.
if [ "$arch" = win64 ]; then
    for exe in "$build/platform/scanvane.exe" "$build/tools/scanvane-render.exe"; do
        if $objdump -d "$exe" | grep -qE '\s(vmovap[sd]|vmovdqa(32|64)?)\s'; then
            fail "$exe has aligned vector moves"
        fi
    done
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=scanvane-$version-$arch
zip=$(cd "$build" && pwd)/$name.zip
[ -f "$zip" ] || fail "missing $zip"
want="$name/README-$arch.txt
$name/scanvane-render.exe
$name/scanvane.exe"
got=$(cmake -E tar tf "$zip" | sort)
[ "$got" = "$want" ] || fail "$zip holds: $got"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$tmp" && cmake -E tar xf "$zip")
cmp -s "$tmp/$name/scanvane.exe" "$build/platform/scanvane.exe" || fail "zip holds a stale scanvane.exe"
cmp -s "$tmp/$name/scanvane-render.exe" "$build/tools/scanvane-render.exe" || fail "zip holds a stale scanvane-render.exe"
grep -q "^Scanvane $version for ${arch#win}-bit Windows" "$tmp/$name/README-$arch.txt" ||
    fail "$name/README-$arch.txt does not name ${arch#win}-bit Windows"
[ $failed = 0 ] || exit 1
echo "ok   $zip"
