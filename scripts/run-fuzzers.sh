#!/usr/bin/env bash
# Runs fuzz targets built with QC_FUZZ=ON, each for a bounded time:
#
#   scripts/run-fuzzers.sh <build dir> <seconds per target> <target>...
#
# A target `name` is <build dir>/bin/fuzz_name.  New inputs it finds go to
# <build dir>/corpus/name/, inputs that crash to <build dir>/artifacts/; the
# seeds in fuzz/corpus/name/ and the shared samples are only read.  Stops at
# the first target that finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 3 ]; then
  echo "usage: $0 <build dir> <seconds per target> <target>..." >&2
  exit 2
fi
build=$1
seconds=$2
shift 2

mkdir -p "$build/artifacts"
for name in "$@"; do
  corpora=("$build/corpus/$name" "fuzz/corpus/$name")
  case $name in
    json_text) samples=../shared/testdata/JSONTestSuite/test_parsing ;;
    api_reply) samples=../shared/testdata/qingcloud ;;
    *) samples= ;;
  esac
  if [ -n "$samples" ] && [ -d "$samples" ]; then
    corpora+=("$samples")
  fi
  mkdir -p "$build/corpus/$name"
  echo "== fuzz_$name for $seconds s"
  "$build/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict=fuzz/json.dict -artifact_prefix="$build/artifacts/$name-" "${corpora[@]}"
done
