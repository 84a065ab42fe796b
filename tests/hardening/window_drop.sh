#!/usr/bin/env bash
# Files dropped onto the window (SDL's drop events, as the window system
# delivers them), end to end on SDL's dummy driver: a model file opens in
# place and the window then shows what scanvane-render draws of it; a file
# that cannot be read is refused in one box naming it and the reason, and
# the window keeps what it showed; the program runs on and ends normally.
#   window_drop.sh WINDOW_DRIVER SCANVANE_RENDER [SAMPLE_MODEL]
# Without SAMPLE_MODEL (a build without the model loader) every drop must be
# refused with the box that says so.
set -uo pipefail
driver=${1:?usage: window_drop.sh WINDOW_DRIVER SCANVANE_RENDER [SAMPLE_MODEL]}
render=${2:?usage: window_drop.sh WINDOW_DRIVER SCANVANE_RENDER [SAMPLE_MODEL]}
model=${3:-}
export SDL_VIDEODRIVER=dummy
export SCANVANE_TEST_BOXES=log
unset SCANVANE_TEST_FAIL SCANVANE_DRIVER_FAIL_LOCK_AT SCANVANE_DRIVER_KEYS SCANVANE_DRIVER_ARGS

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$render" --raw "$tmp/start.raw" >/dev/null || { echo "FAIL: $render --raw"; exit 1; }
# Hostile files: bytes that are no model, a truncated header, an empty
# file, a path that does not exist, and a name with spaces and quotes.
printf 'not a model\n' >"$tmp/garbage.ply"
printf 'ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\n' >"$tmp/huge count.ply"
: >"$tmp/empty.obj"
printf 'solid x\n' >"$tmp/it's \"quoted\".stl"

failures=0
# name | drops (';' between drops, '|' between files of one drop) |
# image expected at the end | boxes expected (one grep pattern per line)
check() {
    local name=$1 drops=$2 expected=$3 boxes=$4
    local err rc problems=()
    rm -f "$tmp/shown.raw"
    err=$(SCANVANE_DRIVER_FRAMES=20 SCANVANE_DRIVER_DROP_AT=4 SCANVANE_DRIVER_DROP="$drops" \
          SCANVANE_TEST_DUMP="$tmp/shown.raw" timeout 120 "$driver" 2>&1 >/dev/null)
    rc=$?
    [ "$rc" -eq 0 ] || problems+=("exit status $rc")
    grep -qxF "window_driver: 20 frames presented" <<<"$err" || problems+=("did not run its 20 frames")
    cmp -s "$tmp/shown.raw" "$expected" || problems+=("the window does not show $(basename "$expected")")
    local want got
    want=$(grep -c . <<<"$boxes")
    got=$(grep -c '^message box "Scanvane"' <<<"$err")
    [ "$got" -eq "$want" ] || problems+=("$got boxes, expected $want")
    while IFS= read -r pattern; do
        [ -z "$pattern" ] || grep -q -- "$pattern" <<<"$err" || problems+=("no box matching: $pattern")
    done <<<"$boxes"
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $name"
    else
        echo "FAIL $name: ${problems[*]}"
        sed 's/^/     | /' <<<"$err" | tail -n 12
        failures=$((failures + 1))
    fi
}

box='^message box "Scanvane" (owner: window): '
if [ -z "$model" ]; then
    check "a drop in a build without the loader is refused" "$tmp/garbage.ply" "$tmp/start.raw" \
        "${box}This build cannot open model files"
else
    name=$(basename "$model")
    "$render" --model "$model" --raw "$tmp/model.raw" >/dev/null || { echo "FAIL: $render --model $model"; exit 1; }
    "$render" --model "$model" --as-is --raw "$tmp/model-as-is.raw" >/dev/null ||
        { echo "FAIL: $render --model $model --as-is"; exit 1; }
    check "a model dropped opens in place" "$model" "$tmp/model.raw" ""
    check "of several files dropped at once the first opens" "$model|$tmp/garbage.ply" "$tmp/model.raw" ""
    check "a bad file keeps the built-in scene" "$tmp/garbage.ply" "$tmp/start.raw" "${box}Cannot open .*garbage.ply: "
    check "bad files after a model keep the model" \
        "$model;$tmp/garbage.ply;$tmp/huge count.ply;$tmp/empty.obj;$tmp/nothing-here.ply;$tmp/it's \"quoted\".stl" \
        "$tmp/model.raw" \
        "${box}Cannot open .*garbage.ply: 
${box}Cannot open .*huge count.ply: 
${box}Cannot open .*empty.obj: 
${box}Cannot open .*nothing-here.ply: 
${box}Cannot open .*quoted.*.stl: "
    # The command line's placement holds for what is dropped later.
    SCANVANE_DRIVER_ARGS="--as-is" check "a drop keeps the window's --as-is" "$model" "$tmp/model-as-is.raw" ""
fi
[ "$failures" -eq 0 ] && echo "all drop checks passed" || { echo "$failures drop checks failed"; exit 1; }
