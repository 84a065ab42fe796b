#!/usr/bin/env bash
# The goldens once more with each span fill forced, the fills as the
# renderer's --help lists them. A fill this processor (or build) lacks is
# refused by the renderer with a reason, and only that reason skips it, in
# one line.
#   check_every_fill.sh "RENDERER [ARGS]"   (may carry a runner prefix, split on blanks)
set -uo pipefail
here=$(dirname "$0")
source "$here/../lib/fill_paths.sh"
read -r -a renderer <<<"${1:?usage: check_every_fill.sh RENDERER}"
paths=$(fill_paths "${renderer[@]}") || exit 1
failed=0
for path in $paths; do
    if refusal=$(SCANVANE_FILL=$path "${renderer[@]}" 2>&1 >/dev/null); then
        echo "--- goldens with SCANVANE_FILL=$path"
        SCANVANE_FILL=$path bash "$here/check_goldens.sh" "$1" || failed=1
    elif reason=$(grep -oE "'$path' cannot run: (this processor lacks the instructions|not in this build)" <<<"$refusal"); then
        echo "SKIP: goldens with SCANVANE_FILL=$path: $reason"
    else
        echo "FAIL: SCANVANE_FILL=$path: $refusal"
        failed=1
    fi
done
exit $failed
