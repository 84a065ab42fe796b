#!/usr/bin/env bash
# Builds Scanvane and starts it. Without a display it renders the start view to
# scanvane-start.png instead.
#
#   bash scripts/run.sh [WINDOW OPTIONS]
#                               installs what the window needs, builds it and
#                               opens it; options go to the window program
#                               (bash scripts/run.sh --help lists them), e.g.
#                               --size native --threads 0
#   bash scripts/run.sh --web   installs what the page needs, builds the browser
#                               page (and scanvane-render for node) and serves
#                               it on 127.0.0.1 (PORT, default 8512); open the
#                               address
#
# Only the programs it runs are built, never the test suites.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    cat >&2 <<'USAGE'
usage: bash scripts/run.sh [WINDOW OPTIONS]   build and open the window (--help lists its options)
       bash scripts/run.sh --web              build and serve the browser page (PORT=8512)
USAGE
    exit 2
}

# --web is this script's; it takes nothing else (the port comes from PORT),
# so anything beside it is a mistake, found before anything is installed.
# Every other argument is the window program's to judge: it refuses what it
# does not take with one line and status 2.
web=0
for arg in "$@"; do [ "$arg" != --web ] || web=1; done
if [ $web = 1 ]; then
    [ $# -eq 1 ] || { echo "run.sh: --web takes no other options, got: $*" >&2; usage; }
    bash scripts/install-deps.sh web
    cmake --preset web >/dev/null
        # The page's sample models too (?model=bunny): npm brings them.
    cmake --build --preset web -j"$(nproc)" --target scanvane-web scanvane-web-threads scanvane-render \
        scanvane_page_samples
    exec node build/web/platform/web/serve.js "${PORT:-8512}"
fi

bash scripts/install-deps.sh window
cmake --preset release >/dev/null
# With options, the window program answers them even without a display
# (--help, --version; otherwise it says there is no display).
if [ -n "${DISPLAY:-}" ] || [ $# -gt 0 ]; then
    cmake --build --preset release -j"$(nproc)" --target scanvane
    status=0
    build/release/platform/scanvane "$@" || status=$?
    # 2 is the program's answer to an option it does not take.
    [ $status -ne 2 ] || usage
    exit $status
fi
cmake --build --preset release -j"$(nproc)" --target scanvane-render
build/release/tools/scanvane-render --png scanvane-start.png
echo "wrote scanvane-start.png"
