#!/usr/bin/env bash
# Builds Scanvane and starts it. Without a display it renders the start view to
# scanvane-start.png instead.
#
#   bash scripts/run.sh --web   builds the browser page (and scanvane-render
#                               for node) and serves the page on 127.0.0.1
#                               (PORT, default 8512); open the address
#   bash scripts/run.sh --size native --threads 0
#                               passes its options on to the window program
#                               (scanvane --help lists them)
#
# Only the programs it runs are built, never the test suites.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [ "${1:-}" = --web ]; then
    cmake --preset web >/dev/null
    cmake --build --preset web -j"$(nproc)" --target scanvane-web scanvane-web-threads scanvane-render
    exec node build/web/platform/web/serve.js "${PORT:-8512}"
fi
cmake --preset release >/dev/null
# With options, the window program answers them even without a display
# (--help, --version; otherwise it says there is no display).
if [ -n "${DISPLAY:-}" ] || [ $# -gt 0 ]; then
    cmake --build --preset release -j"$(nproc)" --target scanvane
    exec build/release/platform/scanvane "$@"
fi
cmake --build --preset release -j"$(nproc)" --target scanvane-render
build/release/tools/scanvane-render --png scanvane-start.png
echo "wrote scanvane-start.png"
