#!/usr/bin/env bash
# Runs the program on the sample in examples/ and shows the report.
set -euo pipefail
bin=${1:-build/tiecheck}
cd "$(dirname "$0")/.."
if [ ! -f examples/demo.sh ]; then
  echo "no sample yet: the sample dataset arrives with the LAS readers."
  "$bin" -version
  exit 0
fi
bash examples/demo.sh "$bin"
