#!/usr/bin/env bash
# Installs, on Debian 12, what one kind of work needs and is missing.
#
#   bash scripts/install-deps.sh window   build and open the window (scripts/run.sh)
#   bash scripts/install-deps.sh web      build and serve the page (scripts/run.sh --web)
#   bash scripts/install-deps.sh test     every build and every test (scripts/test.sh):
#                                         window, web and what only the tests use
#   bash scripts/install-deps.sh --list GROUP...   prints the packages, installs nothing
#
# Each group is a list below, one line per reason; a new need is one line in
# the group that has it. The README gives what each group installs on a
# fresh Debian 12 (scripts/measure-deps.sh measures it).
set -euo pipefail

usage() {
    echo "usage: bash scripts/install-deps.sh [--list] window|web|test ..." >&2
    exit 2
}

# --- the window program and scanvane-render, natively ---------------------------
window=(cmake make g++ pkg-config)
window+=(libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core) # the window, its text and font
window+=(zlib1g-dev)                                     # PNG files
window+=(libgtest-dev) # the native build configures its test suites too
window+=(libassimp-dev) # model files (PLY, OBJ, STL, OFF, glTF) are read through assimp

# --- the browser page and scanvane-render for node -----------------------------
# Debian's Emscripten (its system libraries come prebuilt with the package),
# node to run the tools and serve the page.
web=(cmake make emscripten node-acorn nodejs)
web+=(libstb-dev) # the wasm build's PNG compressor (stb_image_write)
# assimp and zlib for the wasm (and Windows) builds come from Debian's own
# source (cmake/assimp.cmake): apt-get source fetches it (a deb-src entry,
# added below), dpkg-dev unpacks it; utf8cpp's header it lacks.
web+=(dpkg-dev libutfcpp-dev)
# npm brings the sample models' packages (the bunny the page ships), pinned
# by samples/package-lock.json; a node from elsewhere may bring its own.
command -v npm >/dev/null || web+=(npm)

# --- what only the tests use, besides both groups above ------------------------
test=(libbenchmark-dev clang libclang-rt-14-dev valgrind) # microbenchmarks, fuzzing, memcheck
test+=(xvfb xauth xdotool x11-utils imagemagick)          # the window under a virtual display
test+=(libosmesa6-dev)   # scanvane-bench --compare-llvmpipe draws with Mesa's llvmpipe too
test+=(python3)          # the smoke tests read JSON and decode PNGs with Python
test+=(clang-format)     # the release stage checks the source layout
test+=(dpkg-dev)         # cpack's .deb takes its library dependencies from dpkg-shlibdeps
# The Windows builds, 32-bit and 64-bit, and their zlib.
test+=(g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev)
test+=(libz-mingw-w64-dev)
test+=(assimp-testmodels) # assimp's own test corpus, which tests/ci/25-models.sh opens file by file
# Their checks under Wine: the 64-bit loader runs on every machine, the
# 32-bit one where the kernel executes 32-bit programs (tests/ci/40-wine.sh
# probes that). Wine needs its recommends: without them the 32-bit OpenGL
# driver is missing.
test+=(wine wine64 wine32:i386)
test+=(chromium) # the page tests drive Debian's Chromium
# npm for the page tests' puppeteer-core; a node from elsewhere may bring its own.
command -v npm >/dev/null || test+=(npm)

list=0 groups=()
for arg in "$@"; do
    case $arg in
    --list) list=1 ;;
    window | web | test) groups+=("$arg") ;;
    *) echo "install-deps.sh: unknown group or option '$arg'" >&2; usage ;;
    esac
done
[ ${#groups[@]} -gt 0 ] || usage

packages=()
for group in "${groups[@]}"; do
    case $group in
    window) packages+=("${window[@]}") ;;
    web) packages+=("${web[@]}") ;;
    test) packages+=("${window[@]}" "${web[@]}" "${test[@]}") ;;
    esac
done
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | awk '!seen[$0]++')
if [ $list = 1 ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
# apt-get source needs a deb-src entry: bookworm's main, beside the
# system's own entries, from the same archive key (the web and test groups).
update_sources=false
if printf '%s\n' "${packages[@]}" | grep -qx libutfcpp-dev; then
    deb_src_list=/etc/apt/sources.list.d/scanvane-deb-src.sources
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' 'Components: main' \
            'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $SUDO tee "$deb_src_list" >/dev/null
        update_sources=true
    fi
    apt-cache showsrc assimp 2>/dev/null | grep -q '^Package: assimp' || update_sources=true
fi
if [ ${#missing[@]} -eq 0 ]; then
    if $update_sources; then $SUDO apt-get update -q; fi
    exit 0
fi
echo "installing for ${groups[*]}: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
