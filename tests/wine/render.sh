#!/usr/bin/env bash
# scanvane-render.exe under Wine draws what the Linux build draws, bit for
# bit: every golden (on one thread and on two) and the sample models' goldens, then poses and scripts compared line for line with the
# native renderer, among them huge headings, where the MinGW runtime's own
# x87 sine and cosine would have given other frames.
# Usage: tests/wine/render.sh MINGW-BUILD-DIR NATIVE-SCANVANE-RENDER
# Needs WINELOADER and WINEPREFIX set up for the build's architecture (see
# use_wine_arch and new_wine_prefix in common.sh), with no Wine server
# running for the prefix: the checks run under one server of their own.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:?usage: render.sh MINGW-BUILD-DIR NATIVE-RENDER}
native=${2:?usage: render.sh MINGW-BUILD-DIR NATIVE-RENDER}
exe=$build/tools/scanvane-render.exe
wine=${WINELOADER:?set by use_wine_arch in tests/wine/common.sh}
source tests/wine/common.sh

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
start_wine_server
trap 'stop_wine_server; rm -rf "$tmp"' EXIT

bash tests/goldens/check_goldens.sh "$wine $exe"
# The all-cores mode: Windows threads drawing the bands, the same frames.
echo "--- goldens with --threads 2"
bash tests/goldens/check_goldens.sh "$wine $exe --threads 2"
# Once more with each span fill the renderer lists, forced (the default
# above is the widest this processor runs).
bash tests/goldens/check_every_fill.sh "$wine $exe"
# The sample models (made by the native build) draw the same frames too.
samples=$(dirname "$(dirname "$native")")/samples
echo "--- the sample models' goldens, on one thread and on two"
bash tests/goldens/check_goldens.sh "$wine $exe" --list model_goldens.txt --samples "$samples"
bash tests/goldens/check_goldens.sh "$wine $exe --threads 2" --list model_goldens.txt --samples "$samples"

printf '0.5 up\n0.25 up left\n0.125 down right a\n' >"$tmp/walk.script"
printf '4294.967295 right\n0.000001 up\n1 up z\n' >"$tmp/long.script"

# Everything but the overlay, which is a measured time.
strip_overlay() { sed 's/,"overlay":"[0-9]*"}$/}/'; }

failed=0 compared=0
compare() { # script-or-empty, then arguments
    local script=$1; shift
    local args=("$@") input=/dev/null
    if [ -n "$script" ]; then args+=(--script -); input=$tmp/$script; fi
    local want got
    want=$("$native" "${args[@]}" <"$input" | strip_overlay)
    got=$("$wine" "$exe" "${args[@]}" <"$input" | strip_overlay)
    compared=$((compared + 1))
    if [ "$want" != "$got" ]; then
        echo "FAIL ${args[*]} ${script}"
        echo "  linux: $want"
        echo "  wine:  $got"
        failed=$((failed + 1))
    fi
}

for camera in 40,-20,0,0 0,0,0,0 -123.5,77.25,-3,89.999 40,-20,0,50160600 100,-120,20,123456789 \
              40,-20,0,-9e15 40,-20,0,3e20 40,-20,0,1e30 60,-100,-40,-1e38 1e30,-1e30,1e30,45; do
    compare "" --camera "$camera"
done
for camera in 40,-20,0,0 130,-30,25,1e30 40,-20,0,-7e12; do
    compare walk.script --camera "$camera"
    compare long.script --camera "$camera"
done
# Other sizes, odd ones among them, and the largest.
for size in 16x16 333x197 1023x17 97x641 7680x4320; do
    compare "" --size "$size" --camera 100,-120,20,123456789
done
compare walk.script --size 641x479 --camera 130,-30,25,1e30

# Output files are written in binary: the same bytes as on Linux, at an
# odd size too.
"$native" --camera 120,-40,30,300 --raw "$tmp/n.raw" --png "$tmp/n.png" --depth "$tmp/n.depth" >/dev/null
"$wine" "$exe" --camera 120,-40,30,300 --raw "$tmp/w.raw" --png "$tmp/w.png" --depth "$tmp/w.depth" >/dev/null
"$native" --size 333x197 --raw "$tmp/n.odd.raw" --png "$tmp/n.odd.png" >/dev/null
"$wine" "$exe" --size 333x197 --raw "$tmp/w.odd.raw" --png "$tmp/w.odd.png" >/dev/null
for f in odd.raw odd.png; do
    compared=$((compared + 1))
    cmp -s "$tmp/n.$f" "$tmp/w.$f" || { echo "FAIL --size 333x197 $f file differs"; failed=$((failed + 1)); }
done
for f in raw png depth; do
    compared=$((compared + 1))
    cmp -s "$tmp/n.$f" "$tmp/w.$f" || { echo "FAIL --$f file differs"; failed=$((failed + 1)); }
done
# Standard output carries no carriage returns.
compared=$((compared + 1))
if "$wine" "$exe" | grep -q $'\r'; then echo "FAIL stdout has CR LF line ends"; failed=$((failed + 1)); fi

# Characters that look like ASCII are refused as on Linux, with the same
# line and status: the wide command line is read, not the ANSI one, whose
# best-fit mapping would turn them into the ASCII they resemble. (Wine
# takes the arguments in the locale's encoding: UTF-8 here.)
lookalike() { # name, then arguments
    local name=$1; shift
    local want got want_status=0 got_status=0
    want=$("$native" "$@" 2>&1 >/dev/null) || want_status=$?
    LC_ALL=C.UTF-8 "$wine" "$exe" "$@" 2>"$tmp/lookalike.err" >/dev/null || got_status=$?
    got=$(tr -d '\r' <"$tmp/lookalike.err")
    compared=$((compared + 1))
    if [ "$want_status" != 2 ] || [ "$got_status" != 2 ] || [ "$want" != "$got" ] ||
       [ "$(wc -l <<<"$got")" != 1 ]; then
        echo "FAIL $name: linux ($want_status): $want"
        echo "     wine ($got_status): $got"
        failed=$((failed + 1))
    fi
}
lookalike "fullwidth digits in --size" --size $'\uff15\uff11\uff12x384'
lookalike "a Unicode minus in --camera" --camera $'\u22121,0,0,0'
lookalike "a fullwidth x in --size" --size $'512\uff58384'
lookalike "fullwidth digits in --threads" --threads $'\uff12'
lookalike "an en dash for --size" $'\u2013-size' 64x64
lookalike "a non-breaking space in --camera" --camera $'1,\u00a02,3,4'

echo "$((compared - failed)) of $compared comparisons with the Linux build match"
[ $failed = 0 ]
