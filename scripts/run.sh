#!/usr/bin/env bash
# Builds Scanvane and starts it. Without a display it renders the start view to
# scanvane-start.png instead.
#
#   bash scripts/run.sh --web   builds the browser page (and scanvane-render
#                               for node) and serves the page on 127.0.0.1
#                               (PORT, default 8512); open the address
#
# Only the programs it runs are built, never the test suites.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [ "${1:-}" = --web ]; then
    cmake --preset web >/dev/null
    cmake --build --preset web -j"$(nproc)" --target scanvane-web scanvane-web-threads scanvane-render
    exec node build/web/platform/web/serve.js "${PORT:-8512}"
elif [ $# -gt 0 ]; then
    echo "usage: $0 [--web]" >&2
    exit 2
fi
cmake --preset release >/dev/null
if [ -n "${DISPLAY:-}" ]; then
    cmake --build --preset release -j"$(nproc)" --target scanvane
    exec build/release/platform/scanvane
fi
cmake --build --preset release -j"$(nproc)" --target scanvane-render
build/release/tools/scanvane-render --png scanvane-start.png
echo "wrote scanvane-start.png"
