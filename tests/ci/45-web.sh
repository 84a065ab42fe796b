#!/usr/bin/env bash
# The WebAssembly build: the rounding helper and the goldens under node, then
# the page in headless Chromium against the native scanvane-render.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset web
cmake --build --preset web -j"$(nproc)"
node=(node --no-experimental-fetch)
"${node[@]}" build/web/tests/web/round_lanes_test.js
# Through the launcher the README gives node users.
bash tests/goldens/check_goldens.sh build/web/tools/scanvane-render-node

# The page's key sequences are checked against the native renderer.
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target scanvane-render
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
node tests/web/page_test.js build/web/platform/web build/release/tools/scanvane-render
