#!/usr/bin/env bash
# Keeps the test suite in proportion to the code it tests, counted as lines of tracked files:
#   tests: everything under tests/ and fuzz/ (seed corpora and data files left out)
#   code:  src/, examples/, bench/, scripts/, cmake/, the top-level CMakeLists.txt and Makefile
# Usage: scripts/test_share.sh [MAX_PERCENT]   exits 1 when tests exceed MAX_PERCENT of code.
set -euo pipefail
cd "$(dirname "$0")/.."
max=${1:-35}
count() {
  git ls-files -- "$@" | grep -Ev '(^|/)corpus/|\.(bin|csv|json|txt|png)$' |
    tr '\n' '\0' | xargs -0 -r cat | wc -l
}
tests=$(count tests fuzz)
code=$(count src examples bench scripts cmake CMakeLists.txt Makefile)
percent=$((100 * tests / code))
echo "tests: $tests lines; code: $code lines; tests are $percent% of the code (limit $max%)"
if [ "$percent" -gt "$max" ]; then
  echo "The tests have outgrown the code: merge repeated cases into tables or properties."
  exit 1
fi
