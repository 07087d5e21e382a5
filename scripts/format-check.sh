#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted by its .clang-format
# (scripts/format-check.sh; `clang-format -i FILE` formats one).
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | grep -v '^./build')
# Many files to each clang-format, one per core: its start costs more than
# checking a file.
status=0
report=$(xargs -d '\n' -P "$(nproc)" -n 50 clang-format --dry-run --Werror <<<"$files" 2>&1) ||
  status=$?
if [ "$status" != 0 ]; then
  unformatted=$(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
    <<<"$report" | sort -u)
  if [ -n "$unformatted" ]; then
    echo "format: not formatted by .clang-format (run clang-format -i):"
    sed 's/^/  /' <<<"$unformatted"
  else
    echo "format: clang-format failed:"
    echo "$report"
  fi
  exit 1
fi
echo "format: $(wc -w <<<"$files") files formatted"
