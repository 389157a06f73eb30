#!/usr/bin/env python3
"""links_test.py FILE.md...: every relative link leads to a file, every #anchor to a heading."""
import os
import re
import sys


def anchors(path):
    # As GitHub makes them.
    found = set()
    for line in open(path, encoding="utf-8"):
        match = re.match(r"#+\s+(.*)", line)
        if match:
            text = re.sub(r"[^\w\- ]", "", match.group(1).strip().lower())
            found.add(text.replace(" ", "-"))
    return found


broken = []
for page in sys.argv[1:]:
    text = open(page, encoding="utf-8").read()
    # Links and images, but not what code spans and blocks show as text.
    text = re.sub(r"```.*?```", "", text, flags=re.S)
    text = re.sub(r"`[^`]*`", "", text)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(resolved):
            broken.append(f"{page}: {target}: no such file")
        elif anchor and (not resolved.endswith(".md") or anchor not in anchors(resolved)):
            broken.append(f"{page}: {target}: no such heading")
sys.exit("\n".join(broken) or None)
