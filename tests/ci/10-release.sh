#!/usr/bin/env bash
# The shipped native build and its whole test suite.
set -euo pipefail
bash "$(dirname "$0")/../lib/check_format.sh"
cmake --preset release
cmake --build --preset release -j"$(nproc)"
ctest --preset release
