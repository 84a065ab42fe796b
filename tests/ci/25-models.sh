#!/usr/bin/env bash
# Every file of assimp's own test corpus (Debian's assimp-testmodels) in the
# folders of the formats the loader reads, and its folder of invalid files,
# opened by scanvane-render --model under AddressSanitizer and
# UndefinedBehaviorSanitizer with a time limit each. Each file is drawn
# (exit 0) or refused (exit 2, one line naming the file); anything else - a
# crash, a sanitizer report, a hang, another exit status or message - fails.
# (assimp itself is Debian's uninstrumented library: the sanitizers watch
# the loader around it and every allocation.)
set -euo pipefail
cd "$(dirname "$0")/../.."
corpus=${SCANVANE_MODEL_CORPUS:-/usr/share/assimp/models}
folders=(PLY OBJ STL OFF glTF2 invalid)
seconds_per_file=${SCANVANE_MODEL_SECONDS:-60}
if [ ! -d "$corpus/PLY" ]; then
    echo "models: no corpus at $corpus: install the Debian package assimp-testmodels (scripts/install-deps.sh)" >&2
    exit 1
fi

cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)" --target scanvane-render
render=build/asan/tools/scanvane-render
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}

drawn=0 refused=0 failed=0 total=0
for folder in "${folders[@]}"; do
    d=0 r=0 f=0
    while IFS= read -r -d '' file; do
        total=$((total + 1))
        set +e
        timeout -k 5 "$seconds_per_file" "$render" --model "$file" --size 64x48 --raw "$out/frame.raw" \
            >"$out/stdout" 2>"$out/stderr"
        status=$?
        set -e
        lines=$(wc -l <"$out/stderr")
        if [ $status -eq 0 ] && [ "$lines" -eq 0 ] && [ -s "$out/frame.raw" ]; then
            d=$((d + 1))
        elif [ $status -eq 2 ] && [ "$lines" -eq 1 ] && grep -qF "scanvane-render: $file: " "$out/stderr" &&
            [ ! -s "$out/stdout" ]; then
            r=$((r + 1))
        else
            f=$((f + 1))
            echo "FAILED ${file#$corpus/}: exit $status$([ $status -eq 124 ] && echo " (over ${seconds_per_file} s)")"
            head -c 3000 "$out/stderr"
        fi
        rm -f "$out/frame.raw"
    done < <(find "$corpus/$folder" -type f -print0 | sort -z)
    echo "models: $folder: $d drawn, $r refused, $f failed"
    drawn=$((drawn + d)) refused=$((refused + r)) failed=$((failed + f))
done
echo "models: $total files: $drawn drawn, $refused refused, $failed failed"
[ $failed -eq 0 ]
