#!/usr/bin/env bash
# `morvane anova` of a long CSV of a mixed design against `morvane anova` of an
# A x B x S data file of the same number of scores (10^6: three groups of
# 2,500, 3,300 and 4,200 subjects x 10 x 10 within cells; the data file 10^4
# subjects x 10 x 10): median wall and processor times of RUNS runs, their
# ratio and the peak memory; then, where Rscript with afex is installed, one
# run of read.csv and afex's aov_ez on the same CSV for the ratio to it. Goals: the CSV
# within 3 times the data file, and at least 20 times faster than aov_ez.
# usage: bench/design-vs-anova.sh BUILD RUNS
set -euo pipefail
build=${1:-build}
runs=${2:-5}
tool="$build/tools/morvane/morvane"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

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
  } }' >"$tmp/long.csv"
"$build/bench/morvane-genstudy" 10000 10 10 "$tmp/study.dat"
cat "$tmp/long.csv" "$tmp/study.dat" >/dev/null  # into the page cache

read -r dwall dcpu dpeak < <(measure "$tool" anova "$tmp/study.dat" --format json "$tmp/a.json")
read -r cwall ccpu cpeak < <(measure "$tool" anova "$tmp/long.csv" --id id --dv score --within A,B \
  --between group --format json "$tmp/c.json")
echo "== morvane anova: long CSV (3 groups x 10 x 10) against the data file (10 x 10), 10^6 scores, median of $runs"
printf '%-10s  %8s  %8s  %8s\n' input "wall s" "cpu s" "peak MiB"
printf '%-10s  %8.3f  %8.3f  %8d\n' "data file" "$dwall" "$dcpu" $((dpeak / 1024))
printf '%-10s  %8.3f  %8.3f  %8d\n' "long CSV" "$cwall" "$ccpu" $((cpeak / 1024))
echo "cpu ratio CSV / data file: $(awk -v c="$ccpu" -v d="$dcpu" 'BEGIN { printf "%.2f", c / d }') (goal: within 3)"

if command -v Rscript >/dev/null && Rscript -e 'quit(status = !requireNamespace("afex", quietly = TRUE))' 2>/dev/null; then
  read -r rread rfit < <(Rscript -e "suppressMessages(library(afex));
    r <- system.time(d <- read.csv('$tmp/long.csv'))[['elapsed']];
    f <- system.time(aov_ez('id', 'score', d, between = 'group', within = c('A', 'B')))[['elapsed']];
    cat(r, f, "\\n")" 2>/dev/null)
  echo "afex on the same CSV (one run): read.csv $rread s, aov_ez $rfit s; ratio to the CSV's wall time:" \
    "$(awk -v r="$rread" -v f="$rfit" -v c="$cwall" 'BEGIN { printf "%.0f with the reading, %.0f without", (r + f) / c, f / c }')" \
    "(goal: at least 20)"
else
  echo "afex not installed: no comparison with aov_ez"
fi
