#!/usr/bin/env python3
"""check_readme_snippets.py README.md EXAMPLES_DIR: every code block of README.md introduced by
"<!-- snippet: NAME -->" is exactly the file NAME of the examples directory (so the snippets are
programs that build and run), every program of the examples directory is named, and every test
the "Errors" table names exists."""
import os
import re
import sys


def main(readme, examples):
    text = open(readme, encoding="utf-8").read()
    bad = []
    blocks = re.findall(r"<!-- snippet: (\S+) -->\n```cpp\n(.*?)```", text, re.S)
    for name, body in blocks:
        if body != open(os.path.join(examples, name), encoding="utf-8").read():
            bad.append(f"README snippet {name} differs from examples/{name}")
    bad += [f"README never mentions examples/{f}" for f in sorted(os.listdir(examples))
            if f.endswith(".cpp") and f"examples/{f}" not in text]
    errors = text.split("## Errors", 1)[1].split("\n# ", 1)[0]
    sources = ""
    for root, _, files in os.walk(os.path.join(os.path.dirname(os.path.abspath(readme)), "tests")):
        sources += "".join(open(os.path.join(root, f)).read() for f in files if f.endswith(".cpp"))
    defined = set(re.findall(r"TEST(?:_F)?\((\w+),\s*(\w+)\)", sources))
    named = set(re.findall(r"`([A-Z]\w+)\.([A-Z]\w+)`", errors))
    bad += [f"README names a test that does not exist: {s}.{t}" for s, t in sorted(named - defined)]
    print("\n".join(bad + [f"{len(blocks)} snippets, {len(named)} tests named in Errors"]))
    return 1 if bad or not blocks else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
