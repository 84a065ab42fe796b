#!/usr/bin/env bash
# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset asan
cmake --build --preset asan -j"$(nproc)"
ctest --preset asan
