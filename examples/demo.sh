#!/usr/bin/env bash
# Runs tiecheck on the sample tile and its control points and shows the
# report: one line per control point (difference, LiDAR elevation and the
# control point as surveyed), then the error statistics.
#
# The sample is written by tools/make_sample.cpp (target make_sample): a
# synthetic airborne tile whose returns lie 0.045 m above the terrain, and
# 30 control points on open ground, four of them outside the tile. Only
# ground points (class 2) are compared with the control points.
set -euo pipefail
bin=${1:-build/tiecheck}
cd "$(dirname "$0")/.."
out=$(mktemp)
trap 'rm -f "$out"' EXIT
echo "== $bin -i examples/tile_431000_5162000.las -cp examples/control_points.csv -parse sxyz -keep_class 2 -v"
"$bin" -i examples/tile_431000_5162000.las -cp examples/control_points.csv -parse sxyz -keep_class 2 -v -cp_out "$out"
echo
echo "== control points: diff (LiDAR - control), LiDAR z, name, x, y, z ('-' = no LiDAR coverage)"
if command -v column > /dev/null; then column -t -s, "$out"; else cat "$out"; fi
