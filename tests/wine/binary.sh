#!/usr/bin/env bash
# What the Windows executables are made of, read from the files themselves:
# 32-bit PE for i386, GUI or console subsystem, only system DLLs imported,
# the manifest as the one resource, and the release zip's contents.
# Usage: tests/wine/binary.sh BUILD-DIR   (the mingw preset's, build/mingw)
set -euo pipefail
build=${1:?usage: binary.sh BUILD-DIR}
objdump=i686-w64-mingw32-objdump
windres=i686-w64-mingw32-windres
failed=0
fail() { echo "FAIL: $*"; failed=1; }

check_exe() {
    local exe=$1 kind=$2
    local desc; desc=$(file -b "$exe")
    [[ $desc == "PE32 executable ($kind) Intel 80386"* ]] || fail "$exe is '$desc', want PE32 ($kind) Intel 80386"

    # Only Windows' own DLLs: no libgcc, libstdc++ or winpthread beside it.
    local dll
    while read -r dll; do
        case "${dll,,}" in
        kernel32.dll | user32.dll | gdi32.dll | d3d9.dll | msvcrt.dll) ;;
        *) fail "$exe imports $dll" ;;
        esac
    done < <($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')

    # One resource: the manifest (type 24, id 1) asking for asInvoker.
    local rc; rc=$($windres -J coff -i "$exe" -O rc)
    [ "$(grep -c '^/\* Type:' <<<"$rc")" = 1 ] || fail "$exe has other resources than the manifest"
    grep -q '^1 24 ' <<<"$rc" || fail "$exe has no manifest resource 1"
    grep -q 'requestedExecutionLevel level=""asInvoker"" uiAccess=""false""' <<<"$rc" ||
        fail "$exe's manifest does not request asInvoker without uiAccess"
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

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$(cd "$build" && pwd)/scanvane-$version-win32.zip
[ -f "$zip" ] || fail "missing $zip"
want="scanvane-$version-win32/README-win32.txt
scanvane-$version-win32/scanvane-render.exe
scanvane-$version-win32/scanvane.exe"
got=$(cmake -E tar tf "$zip" | sort)
[ "$got" = "$want" ] || fail "$zip holds: $got"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$tmp" && cmake -E tar xf "$zip")
cmp -s "$tmp/scanvane-$version-win32/scanvane.exe" "$build/platform/scanvane.exe" || fail "zip holds a stale scanvane.exe"
cmp -s "$tmp/scanvane-$version-win32/scanvane-render.exe" "$build/tools/scanvane-render.exe" || fail "zip holds a stale scanvane-render.exe"
[ $failed = 0 ] && echo "ok   $zip"
exit $failed
