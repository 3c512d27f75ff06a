#!/usr/bin/env bash
# How large the tests are against the program: lines of the C, C++, header
# and assembly files git tracks, tests/ (unit and end-to-end tests, their
# support library and the test plug-ins) against everything else.
set -euo pipefail
cd "$(dirname "$0")/.."
lines() { git ls-files -z "$@" | grep -zE '\.(c|cc|cpp|h|hpp|S)$' | xargs -0 cat | wc -l; }
all=$(lines)
tests=$(lines tests)
for part in unit e2e support plugins; do
  printf '%-16s %6d\n' "tests/$part" "$(lines "tests/$part")"
done
printf '%-16s %6d\n' "tests" "$tests" "program" $((all - tests)) "all" "$all"
awk -v t="$tests" -v a="$all" 'BEGIN { printf "tests are %.1f%% of all lines\n", 100 * t / a }'
