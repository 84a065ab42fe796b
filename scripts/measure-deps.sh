#!/usr/bin/env bash
# What each group of scripts/install-deps.sh installs on a fresh Debian 12,
# measured on any Debian 12 machine without touching it: apt-get -s resolves
# the group against a minimal system (the packages of priority "required"
# and what they depend on, as in the debian:12 container image, taken from
# this machine's dpkg status) and the archive's sizes are added up. Needs
# current package lists (apt-get update).
#
#   bash scripts/measure-deps.sh [window|web|test ...]   (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(window web test)
for g in "${groups[@]}"; do
    case $g in window | web | test) ;; *) echo "usage: bash scripts/measure-deps.sh [window|web|test ...]" >&2; exit 2 ;; esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The minimal system: required packages of this machine's architecture and
# the closure of their Depends and Pre-Depends.
python3 - /var/lib/dpkg/status "$work/status" "$(dpkg --print-architecture)" <<'PY'
import sys
source, target, arch = sys.argv[1:]
entries, provides = {}, {}
for block in open(source, encoding="utf-8").read().split("\n\n"):
    fields, key = {}, None
    for line in block.splitlines():
        if line.startswith((" ", "\t")) and key:
            fields[key] += line
        elif ":" in line:
            key, value = line.split(":", 1)
            fields[key] = value.strip()
    if fields.get("Status") != "install ok installed" or fields.get("Architecture") not in (arch, "all"):
        continue
    entries[fields["Package"]] = (fields, block)
    for p in fields.get("Provides", "").split(","):
        if p.strip():
            provides.setdefault(p.split()[0], fields["Package"])
todo = [n for n, (f, _) in entries.items() if f.get("Priority") == "required" or f.get("Essential") == "yes"]
kept = set()
while todo:
    name = todo.pop()
    if name in kept:
        continue
    kept.add(name)
    fields = entries[name][0]
    for dep in (fields.get("Depends", "") + "," + fields.get("Pre-Depends", "")).split(","):
        for alternative in dep.split("|"):
            a = alternative.split()[0].split(":")[0] if alternative.strip() else ""
            if a in entries or a in provides:
                todo.append(a if a in entries else provides[a])
                break
open(target, "w", encoding="utf-8").write("\n\n".join(entries[n][1] for n in sorted(kept)) + "\n\n")
print("minimal Debian 12: %d packages" % len(kept))
PY

for g in "${groups[@]}"; do
    mapfile -t packages < <(bash scripts/install-deps.sh --list "$g")
    apt-get -s -q -o Dir::State::status="$work/status" -o APT::Architectures::=amd64 \
        -o APT::Architectures::=i386 install "${packages[@]}" >"$work/$g.sim"
    sed -n 's/^Inst \([^ ]*\) (\([^ ]*\) .*/\1=\2/p' "$work/$g.sim" >"$work/$g.list"
    xargs apt-cache show --no-all-versions <"$work/$g.list" | python3 -c '
import sys
size = installed = 0
for line in sys.stdin:
    if line.startswith("Size:"): size += int(line.split()[1])
    elif line.startswith("Installed-Size:"): installed += int(line.split()[1])
print("%s: %d packages, %.0f MB to download, %.0f MB installed"
      % (sys.argv[1], int(sys.argv[2]), size / 1e6, installed / 1e3))' "$g" "$(wc -l <"$work/$g.list")"
done
