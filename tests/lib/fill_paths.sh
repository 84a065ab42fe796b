# The span fills a program knows, one a line, read from its --help ("force
# the span fill: sse2|avx2|avx512;"), so a new fill is tested without
# editing the tests. Fails with a line on standard error when none is found.
#   source tests/lib/fill_paths.sh; fill_paths PROGRAM [ARGS...]
fill_paths() {
    local names
    names=$("$@" --help 2>/dev/null | tr -d '\r' | tr '\n' ' ' |
            sed -n 's/.*force the span fill: \([a-z0-9|]*\);.*/\1/p')
    if [ -z "$names" ]; then
        echo "fill_paths: $* --help names no span fills" >&2
        return 1
    fi
    tr '|' '\n' <<<"$names"
}
