#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted by its .clang-format
# (scripts/format-check.sh; `clang-format -i FILE` formats one).
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | grep -v '^./build')
unformatted=()
for file in $files; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "format: not formatted by .clang-format (run clang-format -i):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "format: $(echo "$files" | wc -w) files formatted"
