#!/usr/bin/env bash
# Tests against code, counted as the README says: non-blank, non-comment lines of *.cpp,
# *.h, *.py and *.sh under tests/ against *.cpp and *.h outside tests/, fuzz/ and bench/.
# Prints the figure; exits 1 when the tests exceed 38 % of the code.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { xargs -r cat | grep -c -v -E "$1" || true; }
code=$(git ls-files -- '*.cpp' '*.h' | grep -v -E '^(tests|fuzz|bench)/' | count '^\s*(//.*)?$')
tests=$(git ls-files -- '*.cpp' '*.h' '*.py' '*.sh' | grep -E '^tests/' | count '^\s*(//.*|#.*)?$')
percent=$((100 * tests / code))
echo "Tests gegen Code: $tests zu $code Zeilen, $percent %"
[ "$percent" -le 38 ] || { echo "mehr als 38 %: Tests, die nichts Neues prüfen, zusammenfassen"; exit 1; }
