#!/usr/bin/env bash
# The shipped native build and its whole test suite.
set -euo pipefail
cmake --preset release
cmake --build --preset release -j"$(nproc)"
ctest --preset release
