#!/usr/bin/env bash
# `morvane anova` of a long CSV of a mixed design against `morvane anova` of an
# A x B x S data file of the same number of scores (10^6: three groups of
# 2,500, 3,300 and 4,200 subjects x 10 x 10 within cells; the data file 10^4
# subjects x 10 x 10): median wall and processor times of RUNS runs, their
# ratio and the peak memory, for the CSV's rows sorted by subject (as
# experiment software writes them) and shuffled (with a fixed seed);
# the reading alone (ReadLongCsv, bench/LongCsvBenchmark.cpp) of both files;
# then, where Rscript with afex is installed, read.csv and afex's aov_ez on the
# same CSVs (median of R_RUNS runs, 1 unless set) for the ratio to them. Goals:
# the CSV within 3 times the data file, and at least 20 times faster than
# read.csv and aov_ez, sorted and shuffled.
# usage: bench/design-vs-anova.sh BUILD RUNS
set -euo pipefail
default_runs=5
source "$(dirname "$0")/common.sh"
rruns=${R_RUNS:-1}

# Prints the medians of wall seconds, processor seconds and peak KiB of RUNS runs of "$@".
measure() {
  : >"$tmp/times"
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %U %S %M' -a -o "$tmp/times" "$@" >/dev/null 2>&1
  done
  echo "$(awk '{ print $1 }' "$tmp/times" | median) $(awk '{ print $2 + $3 }' "$tmp/times" | median)" \
    "$(awk '{ print $4 }' "$tmp/times" | median)"
}

# The long CSV: id, group, A, B, score; each subject's scores around its own level.
awk 'BEGIN {
  srand(7); print "id,group,A,B,score"; n[1] = 2500; n[2] = 3300; n[3] = 4200
  for (g = 1; g <= 3; g++) for (k = 0; k < n[g]; k++) {
    s++; base = int(rand() * 2000)
    for (a = 1; a <= 10; a++) for (b = 1; b <= 10; b++)
      printf "s%05d,g%d,a%d,b%d,%.2f\n", s, g, a, b, (base + int(rand() * 1000) + 10 * a + g * b) / 100
  } }' >"$tmp/sorted.csv"
# Shuffled by random keys of a fixed seed (`shuf --random-source=<(yes)` would
# leave runs of a few subjects' rows in order).
{
  head -n 1 "$tmp/sorted.csv"
  tail -n +2 "$tmp/sorted.csv" | awk 'BEGIN { srand(11) } { printf "%.9f\t%s\n", rand(), $0 }' |
    LC_ALL=C sort -k1,1 | cut -f 2-
} >"$tmp/shuffled.csv"
"$build/bench/morvane-genstudy" 10000 10 10 "$tmp/study.dat"
cat "$tmp/sorted.csv" "$tmp/shuffled.csv" "$tmp/study.dat" >/dev/null  # into the page cache

read -r dwall dcpu dpeak < <(measure "$tool" anova "$tmp/study.dat" --format json "$tmp/a.json")
declare -A wall cpu peak
for order in sorted shuffled; do
  read -r "wall[$order]" "cpu[$order]" "peak[$order]" < <(measure "$tool" anova "$tmp/$order.csv" --id id --dv score \
    --within A,B --between group --format json "$tmp/c.json")
done
echo "== morvane anova: long CSV (3 groups x 10 x 10) against the data file (10 x 10), 10^6 scores, median of $runs"
printf '%-14s  %8s  %8s  %8s\n' input "wall s" "cpu s" "peak MiB"
printf '%-14s  %8.3f  %8.3f  %8d\n' "data file" "$dwall" "$dcpu" $((dpeak / 1024))
for order in sorted shuffled; do
  printf '%-14s  %8.3f  %8.3f  %8d\n' "CSV $order" "${wall[$order]}" "${cpu[$order]}" $((${peak[$order]} / 1024))
done
echo "cpu ratio sorted CSV / data file: $(awk -v c="${cpu[sorted]}" -v d="$dcpu" 'BEGIN { printf "%.2f", c / d }') (goal: within 3)"

echo "== ReadLongCsv alone on the same files (median of $runs)"
for order in sorted shuffled; do
  MORVANE_BENCH_CSV="$tmp/$order.csv" "$build/bench/morvane_longcsv_bench" --benchmark_filter='LongCsv/File' \
    --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true 2>/dev/null |
    awk -v order="$order" '/_median/ { printf "%-14s  %8.3f s wall\n", "CSV " order, $2 / 1000 }'
done

if command -v Rscript >/dev/null && Rscript -e 'quit(status = !requireNamespace("afex", quietly = TRUE))' 2>/dev/null; then
  echo "== read.csv and afex's aov_ez on the same CSVs (median of $rruns)"
  for order in sorted shuffled; do
    : >"$tmp/r"
    for ((i = 0; i < rruns; i++)); do
      Rscript -e "suppressMessages(library(afex));
        r <- system.time(d <- read.csv('$tmp/$order.csv'))[['elapsed']];
        f <- system.time(aov_ez('id', 'score', d, between = 'group', within = c('A', 'B')))[['elapsed']];
        cat(r, f, '\\n')" 2>/dev/null >>"$tmp/r"
    done
    rread=$(awk '{ print $1 }' "$tmp/r" | median)
    rfit=$(awk '{ print $2 }' "$tmp/r" | median)
    echo "CSV $order: read.csv $rread s, aov_ez $rfit s; ratio to morvane anova's wall time:" \
      "$(awk -v r="$rread" -v f="$rfit" -v c="${wall[$order]}" 'BEGIN { printf "%.1f with the reading, %.1f without", (r + f) / c, f / c }')" \
      "(goal: at least 20)"
  done
else
  echo "afex not installed: no comparison with aov_ez"
fi
