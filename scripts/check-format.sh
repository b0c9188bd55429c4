#!/usr/bin/env bash
# Fails when a tracked .cpp or .h file differs from what clang-format makes of
# it (the project's .clang-format), naming each file and line.  Run by
# `make check-format` and by the test suite (ctest label "lint").
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null 2>&1; then
  echo "check-format: '$clang_format' not found; scripts/install-deps.sh installs it" >&2
  exit 1
fi
if ! files=$(git ls-files -- '*.cpp' '*.h'); then
  echo "check-format: not a git checkout; the tracked files are unknown" >&2
  exit 1
fi
if [ -z "$files" ]; then
  echo "check-format: no tracked .cpp or .h files" >&2
  exit 1
fi
printf '%s\n' "$files" | tr '\n' '\0' | xargs -0 "$clang_format" --dry-run --Werror
echo "check-format: $(printf '%s\n' "$files" | wc -l) files as clang-format writes them"
