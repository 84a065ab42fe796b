#!/usr/bin/env bash
# Builds Scanvane and starts it. Without a display it renders the start view to
# scanvane-start.png instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
if [ -x build/release/platform/scanvane ] && [ -n "${DISPLAY:-}" ]; then
    exec build/release/platform/scanvane
fi
build/release/tools/scanvane-render --png scanvane-start.png
echo "wrote scanvane-start.png"
