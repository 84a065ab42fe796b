#!/usr/bin/env bash
# The 32-bit Windows build, cross-compiled with MinGW-w64 and checked under
# Wine: what the executables are made of, the goldens and cross-checks
# against the Linux renderer, and the program in a window.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/wine/common.sh

cmake --preset mingw
cmake --build --preset mingw -j"$(nproc)"
bash tests/wine/binary.sh build/mingw

# The Linux renderer to compare with: the release build's.
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target scanvane-render

# One fresh prefix for this run, shared by its checks.
prefix=$(mktemp -d)/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$(dirname "$prefix")"' EXIT
if ! { command -v wine >/dev/null && new_wine_prefix "$prefix" &&
       wine_works build/mingw/tools/scanvane-render.exe; }; then
    if [ -n "${CI:-}" ]; then
        echo "FAIL: this machine cannot run 32-bit Windows programs under Wine" \
             "(scripts/install-deps.sh installs wine and wine32:i386)" >&2
        exit 1
    fi
    echo "SKIP: Wine cannot run 32-bit Windows programs here; the Wine checks did not run." >&2
    exit 0
fi
bash tests/wine/render.sh build/mingw build/release/tools/scanvane-render
wineserver -w
bash tests/wine/window.sh build/mingw
