#!/usr/bin/env bash
# The rendering core and the model loader under libFuzzer with ASan and UBSan, for a bounded time
# (about two and a half minutes with the build, a line of progress every
# 20 s). The longer run is described in docs/robustness.md.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tests/fuzz/build_and_run.sh "${SCANVANE_FUZZ_SECONDS:-150}" build/fuzz
# The model loader, on bytes of each format (a minute and a half).
SCANVANE_FUZZ_TARGET=model bash tests/fuzz/build_and_run.sh "${SCANVANE_MODEL_FUZZ_SECONDS:-90}" build/fuzz-model
