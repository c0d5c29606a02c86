#!/usr/bin/env bash
# Non-blank lines of C++ (.cpp, .h) in the files git tracks: the product (the libraries a user runs),
# the tests (everything under tests/, the hostile-corpus generator included), all of it (tools,
# benchmarks, fuzzing and packaging too), the tests' share of all (kept between 25 and 35 %) and
# tests against the product. With -v, the lines of each folder as well.
set -euo pipefail
cd "$(dirname "$0")/.."

count() { git ls-files -- "$@" | grep -E '\.(cpp|h)$' | xargs -r cat | grep -c -v '^[[:space:]]*$' || true; }

if [ "${1:-}" = "-v" ]; then
    for folder in app ui preview printing layout imaging $(git ls-files tests | grep -E '\.(cpp|h)$' | cut -d/ -f1-2 | sort -u); do
        printf '%6d  %s\n' "$(count "$folder")" "$folder"
    done
fi
product=$(count app ui preview printing layout imaging)
tests=$(count tests)
all=$(count .)
echo "product (app ui preview printing layout imaging): $product lines"
echo "tests (tests/): $tests lines"
echo "all C++ in the repository: $all lines"
echo "tests / all: $((100 * tests / all))% (kept between 25 and 35)"
echo "tests / product: $((100 * tests / product))%"
