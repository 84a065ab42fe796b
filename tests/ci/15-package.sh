#!/usr/bin/env bash
# The packages as a user gets them: cmake --install, the .tar.gz and the .deb
# of the native build, the zip of the page from the web build. The .deb is
# unpacked into a scratch root (under CI=true as root: installed on the
# machine with dpkg -i, and removed at the end) and its programs run from
# there, away from the build tree: the start view's CRCs as the goldens have
# them, the benchmark with its counting pass found beside it. Its Depends
# must name the package of every shared library the programs load and of the
# font the window opens at run time.
set -euo pipefail
cd "$(dirname "$0")/../.."
root_dir=$PWD

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok   $*"; }

scratch=$(mktemp -d)
installed_deb=""
cleanup() {
    [ -z "$installed_deb" ] || dpkg -r scanvane >/dev/null || echo "could not remove the scanvane package"
    rm -rf "$scratch"
}
trap cleanup EXIT

programs=(scanvane scanvane-render scanvane-bench scanvane-bench-counts)
docs=(README.md LICENSE CHANGELOG.md)

# Every program in bin/ and the documents in share/doc/scanvane/ under ROOT;
# every relative link of the installed README leads to an installed file
# (and heading), as does every docs/ page scanvane-bench --help names.
check_layout() {
    local root=$1 what=$2 missing=() followed
    for p in "${programs[@]}"; do [ -x "$root/bin/$p" ] || missing+=("bin/$p"); done
    for d in "${docs[@]}"; do [ -f "$root/share/doc/scanvane/$d" ] || missing+=("share/doc/scanvane/$d"); done
    if [ ${#missing[@]} -eq 0 ]; then ok "$what: programs in bin/, README and licence in share/doc/scanvane/"
    else fail "$what lacks ${missing[*]}"; fi
    "$root/bin/scanvane-bench" --help >"$scratch/bench-help.txt" 2>&1 || true
    if followed=$(python3 "$root_dir/tests/lib/doc_links.py" "$root/share/doc/scanvane" "$scratch/bench-help.txt"); then
        ok "$what: all $followed relative links of the installed README and scanvane-bench --help resolve"
    else fail "$what: $followed"; fi
}

# --- native build: install and packages --------------------------------------
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
rm -rf build/release/packages
(cd build/release && cpack) >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }
version=$(sed -n 's/^project(Scanvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=build/release/packages/scanvane_${version}_$(dpkg --print-architecture).deb
tgz=build/release/packages/scanvane-${version}-Linux-$(uname -m).tar.gz
for f in "$deb" "$tgz"; do
    [ -f "$f" ] || { fail "cpack made no $f"; ls build/release/packages; exit 1; }
    echo "     $(basename "$f"): $(stat -c %s "$f") bytes"
done

cmake --install build/release --prefix "$scratch/prefix" >/dev/null
check_layout "$scratch/prefix" "cmake --install"
mkdir "$scratch/tgz"
tar xzf "$tgz" -C "$scratch/tgz"
check_layout "$scratch/tgz/scanvane-${version}-Linux-$(uname -m)" "the .tar.gz"

# --- the .deb's declared dependencies ----------------------------------------
depends=$(dpkg-deb -f "$deb" Depends)
echo "     Depends: $depends"
# Whether Depends names package $1 (its first word in one of the entries).
declares() { sed 's/, */\n/g' <<<"$depends" | awk '{ print $1 }' | grep -Fxq -- "$1"; }
# The package that owns a file; merged /usr means either spelling may be known.
owner() {
    local path
    for path in "$1" "$(readlink -f "$1")" "${1#/usr}" "/usr$1"; do
        dpkg -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1 && return
    done
}
# Each library a program names itself (its DT_NEEDED entries; what those
# load in turn is their packages' business), found where the loader finds it.
needed_ok=0 needed_bad=$failures
for p in "${programs[@]}"; do
    binary=build/release/$( [ "$p" = scanvane ] && echo platform || echo tools )/$p
    for lib in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        path=$(ldd "$binary" | awk -v lib="$lib" '$1 == lib && $2 == "=>" { print $3 }')
        package=$([ -n "$path" ] && owner "$path")
        if [ -z "$package" ]; then fail "$p needs $lib (${path:-not found}), which no package owns"
        elif declares "$package"; then needed_ok=$((needed_ok + 1))
        else fail "$p needs $lib from $package, which Depends does not name"; fi
    done
done
[ "$failures" -gt "$needed_bad" ] || ok "Depends names the package of every library each program needs ($needed_ok in all)"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
font_package=$(owner "$font")
if [ -n "$font_package" ] && declares "$font_package"; then ok "Depends names $font_package, the window's font"
else fail "Depends lacks the package of $font (${font_package:-not installed here})"; fi

# --- the installed programs --------------------------------------------------
if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
    dpkg -i "$deb" >/dev/null
    installed_deb=yes
    prefix=/usr
    echo "     installed on this machine with dpkg -i"
else
    dpkg -x "$deb" "$scratch/root"
    prefix=$scratch/root/usr
    echo "     unpacked into a scratch root with dpkg -x"
fi
check_layout "$prefix" "the .deb"

cd "$scratch"   # nothing of the build tree nearby
start=$(awk -F'|' '$1 ~ /^start / { gsub(/ /, "", $4); gsub(/ /, "", $5); print $4 "/" $5 }' \
    "$root_dir/tests/goldens/goldens.txt")
render_out=$("$prefix/bin/scanvane-render")
echo "     scanvane-render: $render_out"
got=$(python3 -c 'import json,sys; r=json.loads(sys.argv[1]); print(r["colour_crc32"] + "/" + r["depth_crc32"])' "$render_out")
if [ "$got" = "$start" ]; then ok "installed scanvane-render draws the start view ($got)"
else fail "installed scanvane-render drew $got, the golden start view is $start"; fi

if "$prefix/bin/scanvane-bench" --json >bench.json 2>bench.err; then
    if python3 - bench.json <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))
views = {v["name"]: v for v in r["views"]}
start = views["start"]
print("     scanvane-bench: start view median %.3f ms, %d pixels written, fill %s"
      % (start["median_ns"] / 1e6, start["work"]["pixels_written"], r["fill"]))
assert sorted(views) == ["above", "start", "walk", "wall", "window"], sorted(views)
assert all(v["work"] for v in views.values()), "no work counts"
EOF
    then ok "installed scanvane-bench runs with its counting pass"
    else fail "installed scanvane-bench's JSON: $(head -c 300 bench.json) $(cat bench.err)"; fi
    if grep -q "counts unavailable" bench.err; then fail "installed scanvane-bench: $(cat bench.err)"; fi
else
    fail "installed scanvane-bench exits with $?: $(cat bench.err)"
fi

# The window program needs a display; its --help and --version answer
# without one.
if help=$(timeout 10 env -u DISPLAY "$prefix/bin/scanvane" --help 2>&1) && grep -q -- '--version' <<<"$help"; then
    ok "installed scanvane --help: $(head -n 1 <<<"$help")"
else fail "installed scanvane --help: status $?, $(head -c 200 <<<"$help")"; fi
if shown=$(timeout 10 env -u DISPLAY "$prefix/bin/scanvane" --version 2>&1) && [ "$shown" = "Scanvane $(sed -n 's/^project(Scanvane VERSION \([0-9.]*\).*/\1/p' "$root_dir/CMakeLists.txt")" ]; then
    ok "installed scanvane --version: $shown"
else fail "installed scanvane --version: status $?, $(head -c 200 <<<"$shown")"; fi
cd "$root_dir"

# --- the web build: the page's zip and install ---------------------------------
cmake --preset web >/dev/null
cmake --build --preset web -j"$(nproc)" --target scanvane-site
rm -rf build/web/packages
(cd build/web && cpack) >"$scratch/cpack-web.log" 2>&1 || { cat "$scratch/cpack-web.log"; exit 1; }
zip=build/web/packages/scanvane-${version}-web.zip
[ -f "$zip" ] || { fail "cpack made no $zip"; exit 1; }
echo "     $(basename "$zip"): $(stat -c %s "$zip") bytes"
# The page's files at the top of one folder, and every local file the page
# names among them: what a static host serves as it is.
if python3 - "$zip" "scanvane-${version}-web" <<'EOF'
import re, sys, zipfile
names = set(zipfile.ZipFile(sys.argv[1]).namelist())
top = sys.argv[2] + "/"
want = {top + f for f in ("index.html", "page.js", "scanvane.js", "scanvane.wasm", "scanvane-threads.js",
                          "scanvane-threads.wasm", "scanvane-threads.worker.js")}
assert names == want, "zip holds %s" % sorted(names)
z = zipfile.ZipFile(sys.argv[1])
html = z.read(top + "index.html").decode()
refs = re.findall(r'(?:src|href)="([^"]+)"', html)
local = [r for r in refs if not re.match(r"^(data:|https?:|#)", r)]
missing = [r for r in local if top + r not in names]
assert not missing, "index.html names missing %s" % missing
# Both modules page.js loads, and the worker the threaded one starts.
page = z.read(top + "page.js").decode()
for module in ("scanvane.js", "scanvane-threads.js"):
    assert module in html + page, "nothing loads " + module
assert "scanvane-threads.worker.js" in z.read(top + "scanvane-threads.js").decode(), "no worker named"
print("     web zip: %s; index.html names %s" % (", ".join(sorted(n[len(top):] for n in names)), ", ".join(local)))
EOF
then ok "the web zip holds the page, both modules, and everything they name"
else fail "the web zip"; fi
cmake --install build/web --prefix "$scratch/web" >/dev/null
if [ -f "$scratch/web/share/scanvane/web/index.html" ] && [ -f "$scratch/web/share/scanvane/web/scanvane.wasm" ]; then
    ok "cmake --install of the web build: the page in share/scanvane/web/"
else fail "cmake --install of the web build put no page in share/scanvane/web/"; fi

if [ "$failures" -gt 0 ]; then
    echo "$failures package check(s) failed"
    exit 1
fi
echo "all package checks passed"
