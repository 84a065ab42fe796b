#!/usr/bin/env bash
# The same mesh in every format the loader reads draws the same frame: the
# sample bunny is written as PLY (binary both byte orders, ASCII), OBJ, STL
# (binary, ASCII), OFF, glTF (embedded and side-by-side buffers) and .glb,
# plain, with vertex colours in each way a format holds them, and with a
# material colour; each group must give one colour and depth CRC, and the
# welded OBJ and STL as many vertices as the indexed PLY.
#   formats_test.sh RENDERER MESH.ply WORKDIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
read -r -a renderer <<<"$1"
mesh=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
python3 "$here/write_formats.py" "$mesh" "$work" || exit 1

failed=0
# group: files, shading, extra options
check_group() {
    local label=$1 shading=$2; shift 2
    local want="" first="" file out got vertices want_vertices=""
    for file in "$@"; do
        out=$("${renderer[@]}" --model "$file" --shading "$shading" 2>&1)
        got=$(sed -n 's/.*"colour_crc32":"\([0-9a-f]*\)","depth_crc32":"\([0-9a-f]*\)".*/\1\/\2/p' <<<"$out")
        vertices=$(sed -n 's/.*"vertices":\([0-9]*\).*/\1/p' <<<"$out")
        if [ -z "$got" ]; then
            echo "FAIL $label: ${file#$work/}: $out"
            failed=$((failed + 1))
            continue
        fi
        if [ -z "$want" ]; then
            want=$got first=${file#$work/} want_vertices=$vertices
        elif [ "$got" != "$want" ]; then
            echo "FAIL $label: ${file#$work/} draws $got, ${first} draws $want"
            failed=$((failed + 1))
            continue
        elif [ "$shading" = off ] && [ "$vertices" != "$want_vertices" ]; then
            echo "FAIL $label: ${file#$work/} has $vertices vertices, ${first} has $want_vertices"
            failed=$((failed + 1))
            continue
        fi
        echo "ok   $label: ${file#$work/} $got ($vertices vertices)"
    done
}
plain=("$work"/plain/*.ply "$work"/plain/*.obj "$work"/plain/*.stl "$work"/plain/*.off "$work"/plain/*.gltf "$work"/plain/*.glb)
check_group "plain, lit" on "${plain[@]}"
# Facet normals light each face flat, so only the unlit frame is the same.
check_group "plain, unlit" off "${plain[@]}" "$work"/normals/*.stl
coloured=("$work"/coloured/*.*)
check_group "vertex colours" on "${coloured[@]}"
check_group "vertex colours, --shading off" off "${coloured[@]}"
check_group "material colour, lit" on "$work"/material/*.obj "$work"/material/*.gltf
check_group "material colour, unlit" off "$work"/material/*.obj "$work"/material/*.gltf
# Vertex colours are drawn as they are: --shading changes nothing there.
a=$("${renderer[@]}" --model "$work/coloured/uchar.ply" | sed -n 's/.*"colour_crc32":"\([0-9a-f]*\)".*/\1/p')
b=$("${renderer[@]}" --model "$work/coloured/uchar.ply" --shading off | sed -n 's/.*"colour_crc32":"\([0-9a-f]*\)".*/\1/p')
[ -n "$a" ] && [ "$a" = "$b" ] || { echo "FAIL vertex colours lit differently with --shading on"; failed=$((failed + 1)); }
# And light does change a plain model.
a=$("${renderer[@]}" --model "$work/plain/binle.ply" | sed -n 's/.*"colour_crc32":"\([0-9a-f]*\)".*/\1/p')
b=$("${renderer[@]}" --model "$work/plain/binle.ply" --shading off | sed -n 's/.*"colour_crc32":"\([0-9a-f]*\)".*/\1/p')
[ -n "$a" ] && [ "$a" != "$b" ] || { echo "FAIL the plain model looks the same lit and unlit"; failed=$((failed + 1)); }
[ $failed -eq 0 ] && echo "every format draws the same frames" || echo "$failed format checks failed"
[ $failed -eq 0 ]
