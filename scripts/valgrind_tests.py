#!/usr/bin/env python3
"""Runs the unit tests that do not start other processes under valgrind's memcheck.

Tests whose body forks (death tests), runs commands or helper programs are filtered out by
name, read from the test sources. Every test program must finish with no memcheck error and
no definite leak.

Usage: valgrind_tests.py <build dir> <tests source dir>
"""
import os
import re
import subprocess
import sys

FORKING = re.compile(r"EXPECT_EXIT|EXPECT_DEATH|ASSERT_EXIT|ASSERT_DEATH|popen|std::system|"
                     r"runCommand|rootFoundIn|RedirectConsoleOutput")
TEST_HEAD = re.compile(r"^TEST(?:_F)?\((\w+),\s*(\w+)\)", re.M)


def forking_tests(source):
    """Names Suite.Test of the tests whose bodies fork or run processes."""
    text = open(source, encoding="utf-8").read()
    heads = list(TEST_HEAD.finditer(text))
    names = []
    for i, head in enumerate(heads):
        body = text[head.end():heads[i + 1].start() if i + 1 < len(heads) else len(text)]
        if FORKING.search(body):
            names.append(f"{head.group(1)}.{head.group(2)}")
    return names


def main(build, sources):
    failures = 0
    build = os.path.abspath(build)
    programs = sorted(f[:-4] for f in os.listdir(sources) if f.endswith("_test.cpp"))
    programs.append("oracle_test")
    for program in programs:
        source = os.path.join(sources, program + ".cpp")
        if not os.path.exists(source):
            source = os.path.join(sources, "oracle", program + ".cpp")
        binary = os.path.join(build, "tests", program)
        if not os.path.exists(source) or not os.path.exists(binary):
            continue  # not a GoogleTest program of its own (e.g. the static-initialisation hosts)
        excluded = forking_tests(source)
        command = ["valgrind", "--quiet", "--error-exitcode=1", "--leak-check=full",
                   "--errors-for-leak-kinds=definite", "--show-leak-kinds=definite",
                   binary]
        if excluded:
            command.append("--gtest_filter=-" + ":".join(excluded))
        result = subprocess.run(command, capture_output=True, text=True, cwd=build)
        status = "ok" if result.returncode == 0 else "FAILED"
        print(f"{status:6} {program} ({len(excluded)} forking tests left out)", flush=True)
        if result.returncode != 0:
            failures += 1
            print(result.stdout[-3000:] + result.stderr[-3000:])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
