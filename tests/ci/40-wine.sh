#!/usr/bin/env bash
# The Windows builds, 64-bit and 32-bit, cross-compiled with MinGW-w64 and
# checked under Wine: what the executables are made of, the goldens and
# cross-checks against the Linux renderer, and the program in a window with
# its graphics-failure boxes.
# win64 runs on every machine, through Wine's 64-bit loader. win32 is always
# built and its executables checked; it runs under 32-bit Wine wherever the
# kernel executes 32-bit programs at all. Where it does not, that is said in
# one line and the stage passes: a machine's kernel is no fault of the
# product. Where it does, any failure fails the stage, under CI or not.
# Each check runs its programs under one Wine server that stays up until
# the check ends (start_wine_server in tests/wine/common.sh says why).
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/wine/common.sh

for arch in win64 win32; do
    preset=$(preset_of_arch $arch)
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j"$(nproc)"
    bash tests/wine/binary.sh "build/$preset" $arch
done

# The Linux renderer to compare with: stage 10's release build.
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target scanvane-render scanvane_samples

scratch=$(mktemp -d)
# Stops the Wine server of our own prefix only, never one of the user's.
stop_our_wine() {
    [[ ${WINEPREFIX:-} == "$scratch"/* ]] || return 0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}
trap 'stop_our_wine; rm -rf "$scratch"' EXIT

# Every check under Wine for one architecture, in one fresh prefix that is
# deleted afterwards (only one of the two is on disk at a time).
run_under_wine() { # arch
    local arch=$1 build; build=build/$(preset_of_arch "$1")
    echo "--- $arch under Wine"
    use_wine_arch "$arch"
    if ! { new_wine_prefix "$scratch/prefix-$arch" && wine_works "$build/tools/scanvane-render.exe"; }; then
        echo "FAIL: Wine's $arch loader $WINELOADER cannot run $build/tools/scanvane-render.exe" \
             "(scripts/install-deps.sh installs wine, wine64 and wine32:i386)" >&2
        exit 1
    fi
    bash tests/wine/render.sh "$build" build/release/tools/scanvane-render
    bash tests/wine/window.sh "$build"
    stop_our_wine
    rm -rf "$WINEPREFIX"
}

run_under_wine win64

# The probe file goes beside the build: a scratch directory may be on a
# file system that forbids running programs.
i386=$(kernel_runs_i386 build/mingw)
case $i386 in
runs) run_under_wine win32 ;;
refused)
    echo "SKIP: this machine's kernel cannot execute 32-bit x86 programs (Exec format error)," \
         "so the win32 goldens, cross-checks and window checks did not run under Wine;" \
         "the win32 build and its executables were checked, and win64 ran everything." ;;
*)
    echo "FAIL: $i386" >&2
    exit 1 ;;
esac
echo "all Wine checks passed"
