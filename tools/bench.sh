#!/usr/bin/env bash
# Runs every benchmark of the build folder given (default build/), then the
# end-to-end run benchmark.
set -euo pipefail
build=${1:-build}
found=0
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
[ "$found" -eq 1 ] || echo "no benchmarks built (is libbenchmark-dev installed?)"
echo "== e2e.sh"
bash "$(dirname "$0")/../bench/e2e.sh" "$build"
