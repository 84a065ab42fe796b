#!/usr/bin/env bash
# Installs, on Debian 12, whatever the build and the tests need and is missing.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Native build, tests, the window layer and its end-to-end checks.
packages=(cmake g++ make libgtest-dev libbenchmark-dev libsdl2-dev libsdl2-ttf-dev
          fonts-dejavu-core xvfb xauth xdotool x11-utils imagemagick valgrind
          clang libclang-rt-14-dev)
# Model files (PLY, OBJ, STL, OFF, glTF) are read through assimp.
packages+=(libassimp-dev)
# assimp's own test corpus, which tests/ci/25-models.sh opens file by file.
packages+=(assimp-testmodels)
# scanvane-bench --compare-llvmpipe draws the scene with Mesa's llvmpipe too.
packages+=(libosmesa6-dev)
# The benchmark smoke test reads its JSON with Python.
packages+=(python3)
# cpack's .deb takes its library dependencies from dpkg-shlibdeps.
packages+=(dpkg-dev)
# The Windows builds, 32-bit and 64-bit, and their checks under Wine: the
# 64-bit loader runs on every machine, the 32-bit one where the kernel
# executes 32-bit programs (tests/ci/40-wine.sh probes that).
packages+=(g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev)
wine_packages=(wine wine64 wine32:i386)
# The WebAssembly build (its system libraries come prebuilt with the package),
# node for scanvane-render and the page tests, Chromium that they drive.
packages+=(emscripten node-acorn nodejs chromium)
# assimp for the Windows and WebAssembly builds is built from Debian's own
# source (cmake/assimp.cmake): utf8cpp's header, MinGW-w64's zlib, and
# dpkg-dev (above) to unpack the source that apt-get source fetches.
packages+=(libutfcpp-dev libz-mingw-w64-dev)
# npm for the page tests' puppeteer-core; a node from elsewhere may bring its own.
command -v npm >/dev/null || packages+=(npm)

# apt-get source needs a deb-src entry: bookworm's main, beside the
# system's own entries, from the same archive key.
deb_src_list=/etc/apt/sources.list.d/scanvane-deb-src.sources
update_sources=false
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $SUDO tee "$deb_src_list" >/dev/null
    update_sources=true
fi
apt-cache showsrc assimp 2>/dev/null | grep -q '^Package: assimp' || update_sources=true

missing=()
for p in "${packages[@]}" "${wine_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ] && $update_sources; then
    $SUDO apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -q
    # Wine needs its recommends: without them the 32-bit OpenGL driver is missing.
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi
