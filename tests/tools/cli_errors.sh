#!/usr/bin/env bash
# scanvane-render under bad input, table-driven, and the options that must
# work. Every bad invocation must give exactly one line on standard error
# naming the problem (and the script line where there is one), nothing on
# standard output, exit status 2, no output file and no FILE.part left
# behind, and it must not hang. The options both tools share (their one
# parser, --fill against SCANVANE_FILL, --help and --version) are checked on
# scanvane-bench as well when it is given.
#
#   cli_errors.sh RENDERER [BENCH]   (RENDERER may carry a runner prefix, split on blanks)
#
# Decision on "-0" as a frame time: refused like any signed frame time. A
# duration has no sign; accepting "-0" but not "-0.000001" would make the
# rule depend on the value, and "0" says the same thing plainly.
set -uo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 RENDERER [BENCH]" >&2
    exit 2
fi
read -r -a renderer <<<"$1"
bench=${2:-}
# The cases run in directories of their own, so relative paths are fixed now.
for i in "${!renderer[@]}"; do
    case "${renderer[$i]}" in /*) ;; *) [ -e "${renderer[$i]}" ] && renderer[$i]=$PWD/${renderer[$i]} ;; esac
done
case "$bench" in /* | '') ;; *) bench=$PWD/$bench ;; esac
version=$(sed -n 's/^project(Scanvane VERSION \([0-9.]*\) .*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
# The program the bad cases run: the renderer until the shared options are
# run against the benchmark too.
program=("${renderer[@]}") name=scanvane-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 cases=0

fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# Shared inputs, made once.
inputs=$work/inputs
mkdir -p "$inputs/a-directory"
: >"$inputs/empty"
printf '# only a comment\n\n   \n\t# indented comment\n' >"$inputs/comments"
printf '0.1 up\n\x00\x01\x02garbage\xff\n' >"$inputs/nul-bytes"
printf '\xff\xfe\x80\x81 \x1b[31m\n' >"$inputs/high-bytes"
head -c 10485760 /dev/zero | tr '\0' '1' >"$inputs/ten-mb-line"
printf '0.5 up\n' >>"$inputs/ten-mb-line"
printf 'nan up\n' >"$inputs/nan"
printf '1e400\n' >"$inputs/huge-exponent"
printf '0.1\n-0.5 up\n' >"$inputs/negative"
printf -- '-0\n' >"$inputs/negative-zero"
printf '+0.5\n' >"$inputs/plus-sign"
printf '0.1234567 up\n' >"$inputs/seven-places"
printf '4294.967296\n' >"$inputs/too-long"
printf '99999999999999999999999\n' >"$inputs/way-too-long"
printf '0x10\n' >"$inputs/hex"
printf '.\n' >"$inputs/lone-point"
printf '0.1 up\n# turn\n0.1 jump\n' >"$inputs/unknown-key"
printf '0.1 upx\n' >"$inputs/key-trailing"
printf '0.1 up,left\n' >"$inputs/key-comma"
printf '0.1 UP\n' >"$inputs/key-upper"
printf '0.1 up # comment\n' >"$inputs/trailing-comment"
printf '0.1 up\n\n0.2 left\n1,5 down\n' >"$inputs/comma-decimal"

# bad EXPECTED_TEXT STDIN_FILE ARGS...: one malformed invocation.
bad() {
    local expect=$1 stdin=$2
    shift 2
    cases=$((cases + 1))
    local dir=$work/case$cases
    mkdir "$dir"
    local before
    before=$(ls -A "$dir")
    (cd "$dir" && timeout 60 "${program[@]}" "$@" <"$stdin" >"$dir/.stdout" 2>"$dir/.stderr")
    local status=$? what="$name [$*]"
    local lines
    lines=$(wc -l <"$dir/.stderr")
    if [ $status -eq 124 ]; then fail "$what hung"; return; fi
    [ $status -eq 2 ] || fail "$what exit status $status, want 2"
    [ "$lines" -eq 1 ] && [ "$(tail -c1 "$dir/.stderr" | od -An -c | tr -d ' ')" = '\n' ] ||
        fail "$what stderr has $lines lines: $(head -c 300 "$dir/.stderr")"
    grep -q "^$name: " "$dir/.stderr" || fail "$what stderr lacks the program name"
    grep -qF -- "$expect" "$dir/.stderr" || fail "$what stderr does not say '$expect': $(head -c 300 "$dir/.stderr")"
    [ -s "$dir/.stdout" ] && fail "$what wrote to standard output"
    rm -f "$dir/.stdout" "$dir/.stderr"
    local after
    after=$(ls -A "$dir")
    [ "$before" = "$after" ] || fail "$what left files behind: $after"
}

N=/dev/null
I=$inputs
# The span fills as the renderer lists them, and as its refusals name them:
# "sse2, avx2 or avx512".
source "$(dirname "$0")/../lib/fill_paths.sh"
fill_paths=$(fill_paths "${renderer[@]}") || fail "the renderer's --help names no span fills"
fill_list=$(tr '\n' '|' <<<"$fill_paths" | sed 's/|$//; s/|\([^|]*\)$/ or \1/; s/|/, /g')
# The options both tools parse alike: the same forms, messages and status,
# and an explicit --fill over the environment's.
shared_options() {
    bad "unknown option '--frobnicate'" $N --frobnicate
    bad "unknown option '-x'" $N -x
    bad "--fill needs a value" $N --fill
    bad "--fill needs a non-empty value" $N --fill=
    bad "--fill given twice" $N --fill sse2 --fill=sse2
    bad "--fill: 'avx3' names no span fill ($fill_list)" $N --fill=avx3
    bad "--fill: 'SSE2' names no span fill" $N --fill SSE2
    SCANVANE_FILL=garbage bad "--fill: 'avx3' names no span fill" $N --fill avx3
    SCANVANE_FILL=garbage bad "SCANVANE_FILL: 'garbage' names no span fill" $N
    bad "--threads given twice" $N --threads 2 --threads=2
    bad "--threads wants a whole number from 1 to 256, or 0 for every hardware thread; got '257'" $N --threads=257
    bad "--threads needs a value" $N --threads
    bad "--help takes no value" $N --help=yes
    bad "--version takes no value" $N --version=1
    bad "--version given twice" $N --version --version
    # Frame sizes: one message each, and nothing drawn.
    local sizes="width from 16 to 7680, height from 16 to 4320"
    local not_size="is not a size: want WIDTHxHEIGHT"
    bad "--size '0x0' is outside the sizes drawn: $sizes" $N --size 0x0
    bad "--size '15x16' is outside the sizes drawn" $N --size 15x16
    bad "--size '16x15' is outside the sizes drawn" $N --size=16x15
    bad "--size '7681x100' is outside the sizes drawn" $N --size 7681x100
    bad "--size '100x4321' is outside the sizes drawn" $N --size 100x4321
    bad "--size '99999999999999999999x1' is outside" $N --size 99999999999999999999x1
    bad "--size '-640x480' $not_size" $N --size -640x480
    bad "--size '640x-480' $not_size" $N --size 640x-480
    bad "--size '+640x480' $not_size" $N --size +640x480
    bad "--size '640' $not_size" $N --size 640
    bad "--size '640x' $not_size" $N --size 640x
    bad "--size 'x480' $not_size" $N --size x480
    bad "--size '640*480' $not_size" $N --size '640*480'
    bad "--size '640 x 480' $not_size" $N --size '640 x 480'
    bad "--size '640x480x2' $not_size" $N --size 640x480x2
    bad "--size '0x640x480' $not_size" $N --size 0x640x480
    bad "--size '1e3x480' $not_size" $N --size 1e3x480
    bad "--size 'big' $not_size" $N --size big
    bad "--size 'native' $not_size" $N --size native
    bad "--size '640x480\\x0a' $not_size" $N --size $'640x480\n'
    bad "--size needs a value" $N --size
    bad "--size needs a non-empty value" $N --size=
    bad "--size given twice" $N --size 64x64 --size 64x64
}
shared_options
if [ -n "$bench" ]; then
    program=("$bench") name=scanvane-bench
    shared_options
    bad "--json given twice" $N --json --json
    bad "--compare-llvmpipe takes no value" $N --compare-llvmpipe=yes
    bad "--repeat wants a whole number from 1 to 100, got '0'" $N --repeat 0
    bad "--repeat wants a whole number from 1 to 100, got '101'" $N --repeat=101
    bad "--repeat wants a whole number from 1 to 100, got '2x'" $N --repeat 2x
    bad "--repeat wants a whole number from 1 to 100, got '-1'" $N --repeat -1
    bad "--repeat needs a value" $N --repeat
    bad "--repeat given twice" $N --repeat 2 --repeat 2
    bad "--frames-csv needs a non-empty value" $N --frames-csv=
    bad "--frames-csv given twice" $N --frames-csv a.csv --frames-csv b.csv
    bad "cannot write '$I/a-directory': it is a directory" $N --frames-csv "$I/a-directory"
    bad "cannot write 'no-such-dir/walk.csv': no folder 'no-such-dir'" $N --frames-csv no-such-dir/walk.csv
    # A model's pose and the triangle sweep's list, where the build reads models.
    if "$bench" --help | grep -- "--models" >/dev/null; then
        printf 'ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n' >"$I/one.ply"
        printf 'solid x\nthis is not a model\n' >"$I/not-a-model.stl"
        bad "--camera needs a value" $N --model "$I/one.ply" --camera
        bad "--camera needs a non-empty value" $N --model "$I/one.ply" --camera=
        bad "got only 3" $N --model "$I/one.ply" --camera 1,2,3
        bad "got more" $N --model "$I/one.ply" --camera 1,2,3,4,5
        bad "got more" $N --model "$I/one.ply" --camera 1,2,3,4,,,
        bad "HEADING 'nan' is not a finite" $N --model "$I/one.ply" --camera 1,2,3,nan
        bad "X 'inf' is not a finite" $N --model "$I/one.ply" --camera inf,2,3,4
        bad "HEIGHT '-inf' is not a finite" $N --model "$I/one.ply" --camera 1,2,-inf,4
        bad "Z '1e39' is not a finite" $N --model "$I/one.ply" --camera 1,1e39,3,4
        bad "X ' 1' is not a number" $N --model "$I/one.ply" --camera " 1,2,3,4"
        bad "Z '' is not a number" $N --model "$I/one.ply" --camera 1,,3,4
        bad "X 'abc' is not a number" $N --model "$I/one.ply" --camera abc,2,3,4
        bad "--camera given twice" $N --model "$I/one.ply" --camera 1,2,3,4 --camera 1,2,3,4
        bad "--camera goes with --model or --models" $N --camera 1,2,3,4
        bad "--frames goes with --model" $N --frames 5
        bad "--frames wants a whole number from 1 to 600, got '0'" $N --model "$I/one.ply" --frames 0
        bad "--frames wants a whole number from 1 to 600, got 'nan'" $N --model "$I/one.ply" --frames nan
        bad "--frames-csv does not go with --model" $N --model "$I/one.ply" --frames-csv a.csv
        bad "--as-is places or lights a model" $N --as-is
        bad "--model does not go with --sweep" $N --sweep --model "$I/one.ply"
        bad "--models goes with --sweep" $N --models "$I/one.ply"
        bad "--models needs a non-empty value" $N --sweep --models=
        bad "--models wants model files separated by commas, got an empty name in ','" $N --sweep --models ,
        bad "--models wants model files separated by commas, got an empty name" $N --sweep --models "$I/one.ply,"
        bad "--models wants model files separated by commas, got an empty name" $N --sweep --models "$I/one.ply,,$I/one.ply"
        bad "--models takes at most 16 models" $N --sweep --models "$(printf "$I/one.ply,%.0s" {1..16})$I/one.ply"
        bad "--size and --sweep-sizes: give one" $N --sweep --models "$I/one.ply" --size 64x48 --sweep-sizes 64x48
        bad "--sweep-sizes" $N --sweep --models "$I/one.ply" --sweep-sizes 64x48,nan
        bad "--camera goes with --model or --models" $N --sweep --camera 1,2,3,4
        bad "no-such.ply" $N --sweep --models "$I/one.ply,no-such.ply"
        bad "a-directory" $N --sweep --models "$I/a-directory"
        bad "not-a-model.stl" $N --sweep --models "$I/one.ply,$I/not-a-model.stl"
        bad "empty" $N --sweep --models "$I/empty"
        bad "no-such.ply" $N --model no-such.ply
        bad "a-directory" $N --model "$I/a-directory"
        bad "not-a-model.stl" $N --model "$I/not-a-model.stl"
    else
        echo "skip: scanvane-bench reads no models in this build"
    fi
    program=("${renderer[@]}") name=scanvane-render
fi
# The renderer's own options. A bad size leaves no output file behind.
bad "--size '0x0' is outside the sizes drawn" $N --size 0x0 --png out.png
bad "--size '-640x480' is not a size" $N --raw out.raw --size -640x480 --depth out.depth
bad "unknown option 'view.png'" $N view.png
bad "--camera needs a value" $N --camera
bad "--png needs a value" $N --raw out.raw --png
bad "--png needs a non-empty value" $N --png= --raw out.raw
bad "--camera given twice" $N --camera 1,2,3,4 --camera=1,2,3,4
bad "--png given twice" $N --png a.png --png b.png
bad "--script given twice" $N --script - --script -
bad "--help takes no value" $N --help=yes
bad "--png and --raw name the same file" $N --png same --raw same
bad "--threads wants a whole number from 1 to 256, or 0 for every hardware thread; got '1000'" $N --threads 1000
bad "--threads wants a whole number from 1 to 256, or 0 for every hardware thread; got '257'" $N --threads=257
bad "--threads wants a whole number from 1 to 256, or 0 for every hardware thread; got '2x'" $N --threads 2x
bad "--threads wants a whole number from 1 to 256, or 0 for every hardware thread; got '-2'" $N --threads -2
bad "--threads given twice" $N --threads 2 --threads 2
# Camera numbers.
bad "got only 3" $N --camera 1,2,3 --png out.png
bad "got more" $N --camera 1,2,3,4,5
bad "HEADING 'nan' is not a finite" $N --camera 1,2,3,nan
bad "X '1e400' is not a finite" $N --camera=1e400,2,3,4
bad "HEIGHT '-inf' is not a finite" $N --camera 1,2,-inf,4
bad "Z '1e39' is not a finite" $N --camera 1,1e39,3,4
bad "HEADING '4x' is not a number" $N --camera 1,2,3,4x
bad "X ' 1' is not a number" $N --camera " 1,2,3,4"
bad "Z '' is not a number" $N --camera 1,,3,4
bad "HEADING '4 ' is not a number" $N --camera "1,2,3,4 "
bad "X '1\\x0a' is not a number" $N --camera $'1\n,2,3,4'
bad "X 'abc' is not a number" $N --camera abc,2,3,4
# Outputs that cannot be written, alone and after one that could.
bad "cannot write '$I/a-directory': it is a directory" $N --png "$I/a-directory"
bad "cannot write 'no-such-dir/out.raw': no folder 'no-such-dir'" $N --raw no-such-dir/out.raw
# The cause named is the file's folder, not "No such file or directory" for a
# file that is there. (Native runs only: /proc is Linux's.)
if [ ${#renderer[@]} -eq 1 ] && [ -f /proc/version ]; then
    bad "cannot write '/proc/version': cannot create a file in '/proc': it takes no new files" $N --raw /proc/version
fi
bad "cannot write '/proc/scanvane-out.png'" $N --png /proc/scanvane-out.png
bad "cannot write '/proc/scanvane-out.raw'" $N --png out.png --depth out.depth --raw /proc/scanvane-out.raw
bad "cannot write 'no-such-dir/d'" $N --png out.png --depth no-such-dir/d
# Scripts that cannot be read or hold nothing.
bad "cannot read script 'missing.txt'" $N --script missing.txt --png out.png
bad "cannot read script '$I/a-directory': it is a directory" $N --script "$I/a-directory"
bad "script '$I/empty' has no frames" $N --script "$I/empty" --png out.png
bad "script '-' has no frames" "$I/empty" --script - --raw out.raw
bad "script '$I/comments' has no frames" $N --script "$I/comments"
# Script contents; each names its line.
bad "script line 2: not text" $N --script "$I/nul-bytes" --png out.png
bad "script line 1: frame time '\\xff\\xfe\\x80\\x81' is not a decimal" $N --script "$I/high-bytes"
bad "script line 1: longer than 65536 bytes" $N --script "$I/ten-mb-line" --raw out.raw
bad "script line 1: longer than 65536 bytes" $N --script /dev/zero
bad "script line 1: frame time 'nan' is not a decimal" $N --script "$I/nan"
bad "script line 1: frame time '1e400' is not a decimal" $N --script "$I/huge-exponent"
bad "script line 2: frame time '-0.5' has a sign" $N --script "$I/negative" --png out.png
bad "script line 1: frame time '-0' has a sign" $N --script "$I/negative-zero"
bad "script line 1: frame time '+0.5' has a sign" $N --script "$I/plus-sign"
bad "script line 1: frame time '0.1234567' has more than 6 decimal places" $N --script "$I/seven-places"
bad "script line 1: frame time '4294.967296' is above 4294.967295 seconds" $N --script "$I/too-long"
bad "script line 1: frame time '999999999999999999999" $N --script "$I/way-too-long"
bad "script line 1: frame time '0x10' is not a decimal" $N --script "$I/hex"
bad "script line 1: frame time '.' is not a decimal" $N --script "$I/lone-point"
bad "script line 3: unknown key 'jump'" $N --script "$I/unknown-key" --png out.png --raw out.raw
bad "script line 1: unknown key 'upx'" $N --script "$I/key-trailing"
bad "script line 1: unknown key 'up,left'" $N --script "$I/key-comma"
bad "script line 1: unknown key 'UP'" $N --script "$I/key-upper"
bad "script line 1: unknown key '#'" $N --script "$I/trailing-comment"
bad "script line 4: frame time '1,5' is not a decimal" "$I/comma-decimal" --script - --png out.png
# The same after frames were drawn by threads already running.
bad "script line 4: frame time '1,5' is not a decimal" "$I/comma-decimal" --threads 2 --script - --png out.png
bad "script line 3: unknown key 'jump'" $N --threads 3 --script "$I/unknown-key"
# A full standard output is a failure too, and then no output file appears.
if [ -w /dev/full ]; then
    cases=$((cases + 1))
    mkdir "$work/full"
    (cd "$work/full" && timeout 60 "${renderer[@]}" --camera 1,2,3,4 --raw out.raw --png out.png \
        >/dev/full 2>"$work/full.err")
    status=$?
    [ $status -eq 2 ] || fail "standard output on /dev/full: exit status $status, want 2"
    [ "$(tr -d '\r' <"$work/full.err")" = "scanvane-render: cannot write standard output" ] ||
        fail "standard output on /dev/full: $(head -c 300 "$work/full.err")"
    [ -z "$(ls -A "$work/full")" ] || fail "standard output on /dev/full left files: $(ls -A "$work/full")"
fi
# A size whose buffers cannot be had is refused, not a crash. Under a limit
# on address space that still leaves room for a small frame (a sanitizer
# build reserves more than any such limit and cannot show it).
if (ulimit -v 200000 && timeout 60 "${renderer[@]}" --size 16x16 >/dev/null 2>&1); then
    (ulimit -v 200000 && bad "not enough memory for a 7680x4320 frame" $N --size 7680x4320 --png out.png)
    [ $? -eq 0 ] || failures=$((failures + 1))
    cases=$((cases + 1))
    # Every output is opened, and a device asked whether it takes bytes,
    # before the buffers are allocated and anything is drawn: the full device
    # is named, not the memory the frame would have needed.
    if [ -w /dev/full ]; then
        (ulimit -v 200000 && bad "cannot write '/dev/full': No space left on device" $N \
            --size 7680x4320 --png out.png --raw /dev/full --depth out.depth)
        [ $? -eq 0 ] || failures=$((failures + 1))
        cases=$((cases + 1))
    fi
else
    echo "note: no address-space limit leaves this build room to run; the out-of-memory refusal is not checked"
fi
# Outputs are open while a script plays: stopped by a signal (Ctrl-C, a
# closed pipe), the program takes its .part files with it.
for signal in INT TERM; do
    cases=$((cases + 1))
    mkdir "$work/signal-$signal"
    (cd "$work/signal-$signal" && exec "${renderer[@]}" --script - --png out.png --raw out.raw \
        < <(while echo "0.01 up"; do sleep 0.01; done) >/dev/null 2>&1) &
    player=$!
    # Once the outputs are open the frames are being played.
    for _ in $(seq 300); do [ -e "$work/signal-$signal/out.raw.part" ] && break; sleep 0.1; done
    kill -"$signal" $player
    wait $player 2>/dev/null
    left=$(ls -A "$work/signal-$signal")
    [ -z "$left" ] || fail "SIG$signal during a script left files behind: $left"
done
echo "$cases bad invocations checked"

# What must work.
ok_dir=$work/ok
mkdir "$ok_dir"
cd "$ok_dir" || exit 1
run() { timeout 60 "${renderer[@]}" "$@" | tr -d '\r'; }
field() { sed -n "s/.*\"$1\":\"\\{0,1\\}\\([^\",}]*\\).*/\\1/p" <<<"$2"; }
crc_of() { gzip -c "$1" | tail -c8 | head -c4 | od -An -tx4 | tr -d ' '; } # gzip's trailer holds the CRC-32

a=$(run --camera=-50,-310,40,135) || fail "--camera=-50,-310,40,135 failed"
b=$(run --camera -50,-310,40,135) || fail "--camera -50,-310,40,135 failed"
[ "$(field x "$a")/$(field z "$a")/$(field height "$a")/$(field heading "$a")" = "-50/-310/40/135" ] ||
    fail "negative camera numbers not taken: $a"
[ "$(field colour_crc32 "$a")" = "$(field colour_crc32 "$b")" ] || fail "--camera= and --camera differ"

out=$(printf '# from standard input\n0.5 up\n\n0.25 up\n' | run --script -) || fail "--script - failed"
[ "$(field frames "$out")/$(field z "$out")" = "2/-80" ] || fail "--script - not read: $out"

out=$(printf '0.1 up   \n0.1\tleft\t\r\n' | run --script -) || fail "blank-separated keys and CRLF refused"
[ "$(field frames "$out")/$(field frame_time "$out")" = "2/0.10000000000000001" ] ||
    fail "trailing blanks or CRLF misread: $out"

out=$(run --png view.png --raw view.raw --depth view.depth --camera 120,-40,30,300) || fail "outputs failed"
[ "$(wc -c <view.raw)" -eq 786432 ] || fail "--raw is $(wc -c <view.raw) bytes"
[ "$(wc -c <view.depth)" -eq 786432 ] || fail "--depth is $(wc -c <view.depth) bytes"
[ "$(crc_of view.raw)" = "$(field colour_crc32 "$out")" ] || fail "--raw CRC differs from colour_crc32"
[ "$(crc_of view.depth)" = "$(field depth_crc32 "$out")" ] || fail "--depth CRC differs from depth_crc32"
[ "$(field colour_crc32 "$out")/$(field depth_crc32 "$out")" = "289ad1be/9002da44" ] ||
    fail "reference frame wrong: $out"
if command -v identify >/dev/null; then
    [ "$(identify -format '%m %w %h %z' view.png)" = "PNG 512 384 8" ] ||
        fail "--png is not an 8-bit 512x384 PNG: $(identify view.png 2>&1)"
    # Same pixels as the raw buffer (whose fourth byte is the unused top byte).
    [ "$(compare -metric AE -size 512x384 -depth 8 bgra:view.raw -alpha off view.png null: 2>&1)" = 0 ] ||
        fail "--png pixels differ from --raw"
fi
ls ./*.part >/dev/null 2>&1 && fail "a .part file was left after success"

# Any size: width x height pixels row by row in every output and CRC, the
# rows padded nowhere; odd sizes and a one-thread frame equal to two threads'.
for size in 333x197 17x16 1024x128; do
    w=${size%x*} h=${size#*x}
    out=$(run --size $size --png s.png --raw s.raw --depth s.depth) || fail "--size $size failed"
    [ "$(field size "$out")" = "$size" ] || fail "--size $size: the JSON says size '$(field size "$out")'"
    [ "$(wc -c <s.raw)" -eq $((w * h * 4)) ] || fail "--size $size: --raw is $(wc -c <s.raw) bytes"
    [ "$(wc -c <s.depth)" -eq $((w * h * 4)) ] || fail "--size $size: --depth is $(wc -c <s.depth) bytes"
    [ "$(crc_of s.raw)" = "$(field colour_crc32 "$out")" ] || fail "--size $size: --raw CRC differs"
    [ "$(crc_of s.depth)" = "$(field depth_crc32 "$out")" ] || fail "--size $size: --depth CRC differs"
    if command -v identify >/dev/null; then
        [ "$(identify -format '%w %h' s.png)" = "$w $h" ] || fail "--size $size: --png is $(identify s.png 2>&1)"
        [ "$(compare -metric AE -size $size -depth 8 bgra:s.raw -alpha off s.png null: 2>&1)" = 0 ] ||
            fail "--size $size: --png pixels differ from --raw"
    fi
    two=$(run --size $size --threads 2) || fail "--size $size --threads 2 failed"
    [ "$(field colour_crc32 "$two")/$(field depth_crc32 "$two")" = \
      "$(field colour_crc32 "$out")/$(field depth_crc32 "$out")" ] || fail "--size $size: two threads draw another frame"
done
[ "$(field size "$(run)")" = 512x384 ] || fail "the default size is not 512x384"
[ "$(field colour_crc32 "$(run --size 512x384)")" = 19f6fe9b ] || fail "--size 512x384 is not the default frame"
[ "$(field colour_crc32 "$(run --size 512X384)")" = 19f6fe9b ] || fail "--size 512X384 refused or differs"

# An existing file is replaced whole; a pipe is written into, not replaced.
printf 'old' >view.raw
run --raw view.raw >/dev/null || fail "replacing an existing output failed"
[ "$(wc -c <view.raw)" -eq 786432 ] || fail "existing output not replaced"
# (Native runs only: a runner such as Wine cannot open a Unix fifo.)
if [ ${#renderer[@]} -eq 1 ]; then
    mkfifo pipe
    timeout 60 cat pipe >from-pipe &
    reader=$!
    run --raw pipe >/dev/null || { fail "writing into a pipe failed"; : >pipe; } # unblock the reader
    wait $reader
    [ -p pipe ] || fail "the pipe was replaced by a file"
    [ "$(wc -c <from-pipe)" -eq 786432 ] || fail "the pipe got $(wc -c <from-pipe) bytes"
fi

# Negative zero is just zero in a camera number (as strtof reads it).
[ "$(field colour_crc32 "$(run --camera 40,-20,-0,-0)")" = 19f6fe9b ] || fail "--camera with -0 differs"
# The longest frame time the counter can time is accepted, exactly.
out=$(printf '4294.967295\n' | run --script -) || fail "4294.967295 refused"
[ "$(field frame_time "$out")" = 4294.9672950000004 ] || fail "4294.967295 misread: $out"

# An explicit --fill wins over a bad SCANVANE_FILL and draws the same frame.
[ "$(field colour_crc32 "$(SCANVANE_FILL=garbage run --fill sse2)")" = 19f6fe9b ] ||
    fail "--fill sse2 under SCANVANE_FILL=garbage did not draw the start view"

# --help and --version on standard output, status 0, in both tools.
info() { # PROGRAM NAME OPTION WANT: the output holds WANT (a fixed string)
    local -a prog
    read -r -a prog <<<"$1"
    local out status
    out=$(timeout 60 "${prog[@]}" "$3" 2>"$work/info.err" | tr -d '\r')
    status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] || fail "$2 $3 exit status $status"
    grep -qF -- "$4" <<<"$out" || fail "$2 $3 does not say '$4': $(head -c 300 <<<"$out")"
    [ -s "$work/info.err" ] && fail "$2 $3 wrote to standard error"
}
[ -n "$version" ] || fail "no project version found in CMakeLists.txt"
tools=("${renderer[*]}|scanvane-render")
[ -n "$bench" ] && tools+=("$bench|scanvane-bench")
for t in "${tools[@]}"; do
    info "${t%|*}" "${t#*|}" --version "${t#*|} $version"
    [ "$(timeout 60 ${t%|*} --version | tr -d '\r')" = "${t#*|} $version" ] ||
        fail "${t#*|} --version is not exactly '${t#*|} $version'"
    info "${t%|*}" "${t#*|}" --help "--fill PATH"
    info "${t%|*}" "${t#*|}" -h "$(tr '\n' '|' <<<"$fill_paths" | sed 's/|$//')"
    info "${t%|*}" "${t#*|}" --help "--size WIDTHxHEIGHT"
done
info "${renderer[*]}" scanvane-render --help "--script"

if [ $failures -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "all command-line checks pass"
