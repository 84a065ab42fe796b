#!/usr/bin/env python3
"""Follows every relative link of an installed README (Markdown and HTML):
each must lead to a file there, and a #fragment to a heading of that page.
Pages named as docs/NAME.md in the extra text files given (a program's
--help, saved) must be there too.

    doc_links.py DOCDIR [TEXT_FILE ...]

Prints how many links it followed; exits 1 naming every broken one."""
import os
import re
import sys


def anchors(path):
    # GitHub's heading anchors: lower case, punctuation dropped, blanks to hyphens.
    text = open(path, encoding="utf-8").read()
    return {re.sub(r"[^\w\- ]", "", h.strip().lower()).replace(" ", "-")
            for h in re.findall(r"^#+ (.*)$", text, re.M)}


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: doc_links.py DOCDIR [TEXT_FILE ...]")
    docdir = sys.argv[1]
    readme = os.path.join(docdir, "README.md")
    text = open(readme, encoding="utf-8").read()
    links = re.findall(r"\]\(([^)\s]+)\)", text) + re.findall(r'(?:src|href)="([^"]+)"', text)
    broken, followed = [], 0
    for link in links:
        if re.match(r"^[a-z]+:", link):
            continue  # http:, https:, mailto: lead off the machine
        target, _, fragment = link.partition("#")
        path = os.path.normpath(os.path.join(docdir, target)) if target else readme
        followed += 1
        if not os.path.isfile(path):
            broken.append(link)
        elif fragment and path.endswith(".md") and fragment not in anchors(path):
            broken.append(link + " (no such heading)")
    for named_by in sys.argv[2:]:
        for page in sorted(set(re.findall(r"docs/[\w.-]+\.md", open(named_by).read()))):
            followed += 1
            if not os.path.isfile(os.path.join(docdir, page)):
                broken.append("%s (named in %s)" % (page, os.path.basename(named_by)))
    if broken:
        print("broken: " + ", ".join(broken))
        sys.exit(1)
    print(followed)


if __name__ == "__main__":
    main()
