#!/usr/bin/env bash
# `morvane anova` against `morvane report` on the same random studies of 10 x 10
# levels (10^5, 10^6 and 10^7 scores): the median wall and processor times of
# RUNS runs each, their ratio and the peak memory of the analysis. Goals: the
# analysis within 3 times the report, and under 1.5 GiB.
# usage: bench/anova-vs-report.sh BUILD RUNS
set -euo pipefail
default_runs=5
source "$(dirname "$0")/common.sh"

# Runs "$@" RUNS times, each time REPS times in a row (small studies take less
# than the timer's hundredth of a second); prints the medians, per run of the
# command, of wall seconds, processor seconds (user + system) and peak memory in KiB.
measure() {
  local reps=$1
  shift
  : >"$tmp/times"
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %U %S %M' -a -o "$tmp/times" \
      bash -c 'for ((j = 0; j < $0; j++)); do "$@" 2>/dev/null >/dev/null; done' "$reps" "$@"
  done
  local wall cpu peak
  wall=$(awk -v n="$reps" '{ print $1 / n }' "$tmp/times" | median)
  cpu=$(awk -v n="$reps" '{ print ($2 + $3) / n }' "$tmp/times" | median)
  peak=$(awk '{ print $4 }' "$tmp/times" | median)
  echo "$wall $cpu $peak"
}

echo "== morvane anova against morvane report (median of $runs; 10 x 10 levels)"
printf '%9s  %21s  %21s  %11s  %9s\n' scores "report wall/cpu s" "anova wall/cpu s" "cpu ratio" "anova MiB"
for subjects in 1000 10000 100000; do
  scores=$((subjects * 100))
  "$build/bench/morvane-genstudy" "$subjects" 10 10 "$tmp/study.dat"
  "$tool" report "$tmp/study.dat" "$tmp/results.txt" 2>/dev/null  # warms the page cache
  reps=$((10000000 / scores))
  read -r rwall rcpu _ < <(measure "$reps" "$tool" report "$tmp/study.dat" "$tmp/results.txt")
  read -r awall acpu apeak < <(measure "$reps" "$tool" anova "$tmp/study.dat" --format json "$tmp/analysis.json")
  printf '%9d  %10.3f / %8.3f  %10.3f / %8.3f  %11s  %9d\n' "$scores" "$rwall" "$rcpu" "$awall" "$acpu" \
    "$(awk -v a="$acpu" -v r="$rcpu" 'BEGIN { printf "%.2f", a / r }')" $((apeak / 1024))
done
echo "goals: a cpu ratio within 3 and under 1536 MiB"
