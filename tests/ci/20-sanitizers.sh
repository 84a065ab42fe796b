#!/usr/bin/env bash
# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset asan
cmake --build --preset asan -j"$(nproc)"
# System libraries' own leaks are passed over (the file says which); the
# statistics of what was passed over stay out of the programs' error output,
# which some tests read line by line.
export LSAN_OPTIONS="suppressions=$PWD/tests/hardening/lsan-system.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
ctest --preset asan
