#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test.
# Each stage is one script in tests/ci, run in name order.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for stage in tests/ci/*.sh; do
    echo "=== $stage"
    bash "$stage"
done
echo "=== all tests passed"
