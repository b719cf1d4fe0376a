#!/usr/bin/env bash
# End-to-end benchmark of a tiecheck run over one large LAS file.
#
# Generates (once) a tile of about 20 million points with 500 control points
# in /tmp, then measures
#   - the plain fread loop over the file (the ceiling for any reader),
#   - the first pass alone: a run whose only control point lies outside the
#     tile reads every point and keeps none,
#   - the whole run with the 500 control points,
# each with the page cache warm, and reports times, throughput and peak RSS.
#
# usage: bench/e2e.sh [build folder] [number of points]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
points=${2:-20000000}
work=/tmp/tiecheck-e2e-bench
mkdir -p "$work"

cmake --build "$build" -j2 --target tiecheck make_sample >/dev/null
tiecheck="$build/tiecheck"
las="$work/bench_$points.las"
cps="$work/bench_$points.csv"
if [ ! -s "$las" ] || [ ! -s "$cps" ]; then
  echo "generating $las ..."
  "$build/tools/make_sample" -points "$points" -cps 500 -seed 11 "$las" "$cps"
fi
g++ -O2 -o "$work/fread_sum" "$root/bench/fread_sum.cpp"
# One control point far outside the tile: the run reads every point once
# and ends without coverage.
printf 'name,x,y,z\nFAR,100.0,100.0,0.0\n' > "$work/far.csv"

if [ ! -x /usr/bin/time ]; then
  echo "/usr/bin/time is missing: install the Debian package 'time'" >&2
  exit 1
fi

cat "$las" > /dev/null  # warm the page cache
bytes=$(stat -c %s "$las")

best_fread=""
for i in 1 2 3; do
  read -r _ seconds mbps _ < <("$work/fread_sum" "$las")
  if [ -z "$best_fread" ] || awk "BEGIN{exit !($seconds < $best_fread)}"; then best_fread=$seconds; fi
done

# Runs tiecheck three times; keeps the fastest wall time and its peak RSS.
measure() {
  local best="" rss=""
  for i in 1 2 3; do
    /usr/bin/time -v "$tiecheck" "$@" > /dev/null 2> "$work/time.log" || {
      cat "$work/time.log" >&2
      exit 1
    }
    local wall kb
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(k=1;k<=n;k++) s=s*60+a[k]; print s}' "$work/time.log")
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.log")
    if [ -z "$best" ] || awk "BEGIN{exit !($wall < $best)}"; then best=$wall; rss=$kb; fi
  done
  echo "$best $rss"
}

read -r first_pass first_rss < <(measure -i "$las" -cp "$work/far.csv" -parse sxyz)
read -r full_run full_rss < <(measure -i "$las" -cp "$cps" -parse sxyz -cp_out "$work/out.csv")
npoints=$(od -An -tu4 -j107 -N4 "$las" | tr -d ' ')

awk -v bytes="$bytes" -v n="$npoints" -v fr="$best_fread" -v fp="$first_pass" -v frss="$first_rss" \
    -v run="$full_run" -v rss="$full_rss" 'BEGIN {
  printf "file:                %d points, %.1f MB\n", n, bytes / 1e6
  printf "fread loop:          %.3f s, %.0f MB/s\n", fr, bytes / fr / 1e6
  printf "first pass:          %.3f s, %.2f M points/s, %.0f MB/s (%.0f%% of fread), peak RSS %.1f MB\n",
         fp, n / fp / 1e6, bytes / fp / 1e6, 100 * fr / fp, frss / 1024
  printf "run, 500 cps:        %.3f s, peak RSS %.1f MB\n", run, rss / 1024
}'
tail -n 3 "$work/out.csv" | sed 's/^/sample output: /'
