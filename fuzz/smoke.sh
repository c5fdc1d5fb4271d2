#!/usr/bin/env bash
# Runs every fuzz target briefly over its seed corpus: a fixed number of
# inputs with a fixed seed, so that the targets keep building and working.
# New inputs go to a scratch folder; the committed corpus is only read.
# Usage: fuzz/smoke.sh [build folder] [runs]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/fuzz}
runs=${2:-2000}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
passed=0
for corpus in "$here"/corpus/*/; do
  name=$(basename "$corpus")
  target=$build/fuzz/$name
  if [ ! -x "$target" ]; then
    echo "fuzz smoke: $name is not built ($target)" >&2
    failed=$((failed + 1))
    continue
  fi
  mkdir -p "$scratch/$name"
  if "$target" -runs="$runs" -seed=1 -timeout=20 -max_len=4096 \
      -artifact_prefix="$scratch/$name-" "$scratch/$name" "$corpus" >"$scratch/$name.log" 2>&1; then
    echo "fuzz smoke: $name passed ($runs runs)"
    passed=$((passed + 1))
  else
    echo "fuzz smoke: $name FAILED" >&2
    tail -n 40 "$scratch/$name.log" >&2
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
