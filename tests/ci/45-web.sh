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
render=build/web/tools/scanvane-render-node
bash tests/goldens/check_goldens.sh "$render"
# The host's environment reaches the tool under node as it does natively:
# a span fill the build lacks is refused, the one it has is used.
refusal=$(SCANVANE_FILL=avx2 "$render" 2>&1 >/dev/null) && status=0 || status=$?
[ "$status" -eq 2 ] && grep -qF "SCANVANE_FILL: 'avx2' cannot run: not in this build" <<<"$refusal" ||
    { echo "FAIL: SCANVANE_FILL=avx2 under node: status $status: $refusal"; exit 1; }
SCANVANE_FILL=sse2 bash tests/goldens/check_goldens.sh "$render"
# The sample models under node, as natively.
bash tests/goldens/check_goldens.sh "$render" --list model_goldens.txt --samples build/web/samples

# The page's key sequences are checked against the native renderer.
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target scanvane-render
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
node tests/web/page_test.js build/web/platform/web build/release/tools/scanvane-render

# The zip as a user gets it: unpacked into a scratch folder away from the
# build tree, served with the isolation headers (threads) and without (one
# thread, and the page says why).
rm -rf build/web/packages
(cd build/web && cpack >/dev/null)
zip=$(ls build/web/packages/scanvane-*-web.zip)
site=$(mktemp -d)
trap 'rm -rf "$site"' EXIT
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$site"
node tests/web/zip_test.js "$site/$(basename "$zip" .zip)" build/web/platform/web/serve.js build/release/tools/scanvane-render
