#!/usr/bin/env bash
# The program in a real window under Xvfb: build/release from stage 10.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --build --preset release -j"$(nproc)" --target scanvane scanvane-render scanvane-close-window
bash tests/e2e/window.sh build/release
