#!/usr/bin/env bash
# Makes docs/walk-in.gif, the README's animation: the walk up the steps and in
# through the door (tests/goldens/walk-in.script), drawn by scanvane-render.
#
#   bash scripts/make-walk-gif.sh [RENDERER] [OUT.gif]
#
# scanvane-render writes only a script's last frame, so each picture is the
# last frame of a longer prefix of the walk. The script's frames are up to half
# a second long; for smooth motion each is cut into steps of at most STEP
# seconds holding the same keys (the camera moves in proportion to the time).
# The last picture is the script itself, unchanged: the golden frame.
set -euo pipefail
if [ $# -gt 2 ] || [[ ${1:-} == -* ]] || [[ ${2:-} == -* ]]; then
    echo "usage: bash scripts/make-walk-gif.sh [RENDERER] [OUT.gif]" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
renderer=${1:-build/release/tools/scanvane-render}
out=${2:-docs/walk-in.gif}
script=tests/goldens/walk-in.script
step=0.0625          # seconds per picture, 16 a second
width=384            # the GIF's width: 3/4 of the frame, about 1 MB in all
hold=200             # the last picture's time on screen, in hundredths of a second

if [ ! -x "$renderer" ] && [ "$renderer" = build/release/tools/scanvane-render ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release -j2 --target scanvane-render
fi
command -v convert >/dev/null || { echo "make-walk-gif: ImageMagick's convert is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The walk as steps: "SECONDS KEYS..." lines, none longer than $step.
awk -v step="$step" '
    /^[[:space:]]*(#|$)/ { next }
    {
        t = $1 + 0; keys = ""
        for (i = 2; i <= NF; i++) keys = keys " " $i
        if (t == 0) next        # a frame that takes no time moves nothing
        n = int(t / step); if (n * step < t) n++
        for (k = 0; k < n; k++) printf "%.6f%s\n", t / n, keys
    }' "$script" >"$work/steps"

frames=()
delays=()
total=$(wc -l <"$work/steps")
for ((i = 1; i <= total; i++)); do
    head -n "$i" "$work/steps" >"$work/prefix"
    png=$(printf '%s/%04d.png' "$work" "$i")
    "$renderer" --script "$work/prefix" --png "$png" >/dev/null
    frames+=("$png")
    # Each picture stays up as long as its step took, in hundredths.
    delays+=("$(awk -v t="$(tail -n 1 "$work/prefix" | cut -d' ' -f1)" 'BEGIN { printf "%d", t * 100 + 0.5 }')")
done
"$renderer" --script "$script" --png "$work/last.png" >"$work/last.json"

args=()
for ((i = 0; i < ${#frames[@]}; i++)); do
    args+=(-delay "${delays[$i]}" "${frames[$i]}")
done
args+=(-delay "$hold" "$work/last.png")
# One palette per picture without dithering: the shading's steps stay flat
# areas, which the GIF's compression and -layers Optimize keep small.
convert "${args[@]}" -resize "${width}x" +dither -colors 256 -loop 0 -layers Optimize "$out"
echo "wrote $out: $((${#frames[@]} + 1)) pictures, $(stat -c %s "$out") bytes; last frame $(cat "$work/last.json")"
