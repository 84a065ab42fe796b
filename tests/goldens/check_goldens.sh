#!/usr/bin/env bash
# Renders every frame listed in goldens.txt and compares its CRC-32s.
#
#   check_goldens.sh RENDERER [--list FILE] [--samples DIR] [--png-dir DIR] [--print]
#
# RENDERER is the command that runs scanvane-render, split on blanks, so a
# runner can go in front of it:  check_goldens.sh "wine build/mingw/tools/scanvane-render.exe"
# Each golden's PNG is decoded independently (tests/lib/png_matches_raw.py)
# and must hold the pixels of its --raw colour buffer. --png-dir keeps the
# pictures there as NAME.png, for looking at.
# --print lists the CRCs this build produces, in goldens.txt form, and
# compares nothing (for re-freezing after a deliberate change, by hand).
# --list checks the frames listed in FILE (in this folder) instead of
# goldens.txt: model_goldens.txt holds the sample models' frames, whose
# arguments name {samples}, the folder given with --samples (the build's
# samples/ folder).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 1 ]; then
    echo "usage: $0 RENDERER [--list FILE] [--samples DIR] [--png-dir DIR] [--print]" >&2
    exit 2
fi
read -r -a renderer <<<"$1"
shift
png_dir="" print=0 list=goldens.txt samples=""
while [ $# -gt 0 ]; do
    case "$1" in
    --png-dir) png_dir=$2; mkdir -p "$png_dir"; shift 2 ;;
    --print) print=1; shift ;;
    --list) list=$2; shift 2 ;;
    --samples) samples=$2; shift 2 ;;
    *) echo "$0: unknown option '$1'" >&2; exit 2 ;;
    esac
done

pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
[ -n "$png_dir" ] || png_dir=$pictures
pairs=()

trim() { local s=$1; s=${s#"${s%%[![:space:]]*}"}; echo "${s%"${s##*[![:space:]]}"}"; }

failed=0 checked=0
while IFS='|' read -r name args script colour depth what; do
    name=$(trim "$name")
    case "$name" in '' | '#'*) continue ;; esac
    args=$(trim "$args") script=$(trim "$script") colour=$(trim "$colour") depth=$(trim "$depth")
    shown=$args
    if [[ $args == *"{samples}"* ]]; then
        if [ -z "$samples" ]; then
            echo "$0: $name needs the sample models: give --samples DIR" >&2
            exit 2
        fi
        args=${args//\{samples\}/$samples}
    fi
    read -r -a argv <<<"$args"
    argv+=(--png "$png_dir/$name.png" --raw "$pictures/$name.raw")
    pairs+=("$png_dir/$name.png" "$pictures/$name.raw")
    input=/dev/null
    if [ "$script" != "-" ]; then
        argv+=(--script -)
        input=$here/$script
    fi
    # A golden frame takes milliseconds; the limit only stops a hang.
    out=$(timeout 300 "${renderer[@]}" "${argv[@]}" <"$input" | tr -d '\r')
    status=$?
    got_colour=$(sed -n 's/.*"colour_crc32":"\([0-9a-f]*\)".*/\1/p' <<<"$out")
    got_depth=$(sed -n 's/.*"depth_crc32":"\([0-9a-f]*\)".*/\1/p' <<<"$out")
    checked=$((checked + 1))
    if [ $print = 1 ]; then
        printf '%s | %s | %s | %s | %s |%s\n' "$name" "$shown" "$script" "$got_colour" "$got_depth" "$what"
        continue
    fi
    if [ $status -ne 0 ] || [ "$got_colour" != "$colour" ] || [ "$got_depth" != "$depth" ]; then
        echo "FAIL $name: want $colour/$depth, got ${got_colour:-?}/${got_depth:-?} (exit $status)"
        failed=$((failed + 1))
    else
        echo "ok   $name $colour/$depth"
    fi
done <"$here/$list"

if [ $checked -eq 0 ]; then
    echo "no goldens found in $here/$list" >&2
    exit 1
fi
[ $print = 1 ] && exit 0
echo "$((checked - failed)) of $checked goldens match"
if python3 "$here/../lib/png_matches_raw.py" "${pairs[@]}"; then
    echo "$checked PNGs decode to their colour buffers"
else
    echo "FAIL: the PNGs above differ from their colour buffers"
    failed=$((failed + 1))
fi
[ $failed -eq 0 ]
