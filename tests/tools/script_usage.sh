#!/usr/bin/env bash
# The scripts of scripts/ under bad arguments: each refuses what it does not
# take with its usage and status 2, before installing, building or serving
# anything; run.sh hands the window program its options untouched and
# answers the program's refusal with its own usage. run.sh and test.sh run
# in a scratch copy of the tree whose installer, cmake, node and window
# program only write down how they were called.
#
#   script_usage.sh
set -uo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 checks=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

tree=$work/tree calls=$work/calls
mkdir -p "$tree/scripts" "$tree/build/release/platform" "$tree/build/release/tools" "$work/bin"
cp "$repo/scripts/run.sh" "$repo/scripts/test.sh" "$tree/scripts/"
stub() { # PATH CALL-NAME [EXTRA SHELL]
    printf '#!/usr/bin/env bash\necho "%s $*" >>"%s"\n%s\n' "$2" "$calls" "${3:-}" >"$1"
    chmod +x "$1"
}
stub "$tree/scripts/install-deps.sh" install-deps
for tool in cmake node apt-get sudo; do stub "$work/bin/$tool" "$tool"; done
# The window program refuses --bogus as the real one does.
stub "$tree/build/release/platform/scanvane" scanvane \
    '[[ " $* " != *" --bogus "* ]] || { echo "scanvane: unknown option '"'"'--bogus'"'"'" >&2; exit 2; }'
stub "$tree/build/release/tools/scanvane-render" scanvane-render
export PATH="$work/bin:$PATH"

# expect STATUS STDERR-TEXT CALLS -- COMMAND...: CALLS is what the stubs
# must have seen, one call a line ("" for nothing at all).
expect() {
    local status=$1 text=$2 want=$3
    shift 4
    checks=$((checks + 1))
    : >"$calls"
    local got=0
    (cd "$work" && "$@" </dev/null >"$work/out" 2>"$work/err") || got=$?
    local what="[${*#"$tree/"}]"
    [ "$got" -eq "$status" ] || fail "$what exit status $got, want $status: $(head -c 300 "$work/err")"
    [ -z "$text" ] || grep -qF -- "$text" "$work/err" || fail "$what stderr lacks '$text': $(head -c 300 "$work/err")"
    [ "$(cat "$calls")" = "$want" ] || fail "$what called: $(tr '\n' ';' <"$calls"), want: $(tr '\n' ';' <<<"$want")"
}

run=(bash "$tree/scripts/run.sh")
usage="usage: bash scripts/run.sh"
expect 2 "$usage" "" -- "${run[@]}" --web --bogus
expect 2 "$usage" "" -- "${run[@]}" --bogus --web
expect 2 "$usage" "" -- "${run[@]}" --web --web
expect 2 "$usage" "" -- "${run[@]}" --web 8080
expect 2 "$usage" "" -- env PORT=1 "${run[@]}" --web --size native
expect 0 "" "install-deps web
cmake --preset web
cmake --build --preset web -j$(nproc) --target scanvane-web scanvane-web-threads scanvane-render scanvane_page_samples
node build/web/platform/web/serve.js 8512" -- "${run[@]}" --web
# Window options reach the program as they were given, whatever their form.
expect 0 "" "install-deps window
cmake --preset release
cmake --build --preset release -j$(nproc) --target scanvane
scanvane --size native --threads=0 --fill avx2" -- env DISPLAY=:99 "${run[@]}" --size native --threads=0 --fill avx2
expect 2 "scanvane: unknown option '--bogus'" "install-deps window
cmake --preset release
cmake --build --preset release -j$(nproc) --target scanvane
scanvane --size native --bogus" -- env DISPLAY=:99 "${run[@]}" --size native --bogus
grep -qF "$usage" "$work/err" || fail "run.sh --bogus: the program's refusal comes without run.sh's usage"
expect 0 "" "install-deps window
cmake --preset release
cmake --build --preset release -j$(nproc) --target scanvane-render
scanvane-render --png scanvane-start.png" -- env -u DISPLAY "${run[@]}"

expect 2 "usage: bash scripts/test.sh" "" -- bash "$tree/scripts/test.sh" --bogus
expect 2 "usage: bash scripts/test.sh" "" -- bash "$tree/scripts/test.sh" --web

# The installer itself (the real one): groups only, --list installs nothing.
install=(bash "$repo/scripts/install-deps.sh")
expect 2 "usage: bash scripts/install-deps.sh" "" -- "${install[@]}"
expect 2 "unknown group or option 'windows'" "" -- "${install[@]}" windows
expect 2 "unknown group or option '--bogus'" "" -- "${install[@]}" --list web --bogus
for group in window web test; do
    checks=$((checks + 1))
    mapfile -t "list_$group" < <("${install[@]}" --list "$group")
done
in_list() { local want=$1; shift; printf '%s\n' "$@" | grep -Fxq -- "$want"; }
checks=$((checks + 1))
in_list cmake "${list_window[@]}" && in_list libsdl2-dev "${list_window[@]}" && ! in_list emscripten "${list_window[@]}" &&
    ! in_list chromium "${list_window[@]}" && ! in_list wine "${list_window[@]}" ||
    fail "the window group: ${list_window[*]}"
checks=$((checks + 1))
in_list emscripten "${list_web[@]}" && ! in_list libsdl2-dev "${list_web[@]}" && ! in_list wine "${list_web[@]}" ||
    fail "the web group: ${list_web[*]}"
for p in "${list_window[@]}" "${list_web[@]}"; do
    in_list "$p" "${list_test[@]}" || fail "the test group lacks $p, which another group installs"
done
expect 2 "usage: bash scripts/make-walk-gif.sh" "" -- bash "$repo/scripts/make-walk-gif.sh" --bogus
expect 2 "usage: bash scripts/make-walk-gif.sh" "" -- bash "$repo/scripts/make-walk-gif.sh" a b c

[ $failures -eq 0 ] || { echo "$failures of $checks script checks failed"; exit 1; }
echo "all $checks script checks passed"
