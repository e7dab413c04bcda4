#!/usr/bin/env python3
"""Checks that every code block of README.md introduced by a line
"<!-- snippet: NAME -->" is exactly the file NAME of the examples directory, so the README's
snippets are programs that build and run.

Usage: check_readme_snippets.py README.md EXAMPLES_DIR
"""
import os
import re
import sys


def main(readme, examples):
    text = open(readme, encoding="utf-8").read()
    blocks = re.findall(r"<!-- snippet: (\S+) -->\n```cpp\n(.*?)```", text, re.S)
    if not blocks:
        print("no snippets found")
        return 1
    bad = 0
    for name, body in blocks:
        source = open(os.path.join(examples, name), encoding="utf-8").read()
        if body != source:
            print(f"README snippet {name} differs from examples/{name}")
            bad += 1
    print(f"{len(blocks) - bad} of {len(blocks)} snippets match")

    # Every test named in the "Errors" table exists.
    errors = text.split("## Errors", 1)[1].split("\n# ", 1)[0]
    named = set(re.findall(r"`([A-Z]\w+)\.([A-Z]\w+)`", errors))
    tests_dir = os.path.join(os.path.dirname(os.path.abspath(readme)), "tests")
    sources = ""
    for root, _, files in os.walk(tests_dir):
        for f in files:
            if f.endswith(".cpp"):
                sources += open(os.path.join(root, f), encoding="utf-8").read()
    defined = set(re.findall(r"TEST(?:_F)?\((\w+),\s*(\w+)\)", sources))
    missing = sorted(f"{s}.{t}" for s, t in named - defined)
    for name in missing:
        print(f"README names a test that does not exist: {name}")
        bad += 1
    print(f"{len(named) - len(missing)} of {len(named)} tests named in Errors exist")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
