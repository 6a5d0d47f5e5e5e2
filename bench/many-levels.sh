#!/usr/bin/env bash
# `morvane anova` and `morvane plot` of long CSVs of very many levels: one
# within factor of 100,000 levels (3 subjects, 300,000 rows), two within
# factors of 2 x 50,000 levels, and a lines factor of 10,000 levels x 3
# along the axis (3 subjects), and two within factors of 100,000 x 3 levels
# (3 subjects, 900,000 rows). Prints the median wall seconds and peak memory
# of RUNS runs of each: the analysis as text and as JSON, the plot at
# 800 x 600 and at 8192 x 8192. Goals: each within 5 s and 500 MB.
# usage: bench/many-levels.sh BUILD RUNS
set -euo pipefail
default_runs=3
source "$(dirname "$0")/common.sh"

# Prints "NAME: S s, M MiB", the medians of RUNS runs of "$@".
measure() {
  local name=$1
  shift
  : >"$tmp/times"
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %M' -a -o "$tmp/times" "$@" >/dev/null 2>&1
  done
  printf '%-34s %6.2f s, %5d MiB\n' "$name:" "$(awk '{ print $1 }' "$tmp/times" | median)" \
    $(($(awk '{ print $2 }' "$tmp/times" | median) / 1024))
}

awk 'BEGIN { srand(3); print "id,A,score"
  for (s = 1; s <= 3; s++) for (a = 1; a <= 100000; a++)
    printf "s%d,a%d,%.2f\n", s, a, (int(rand() * 1000) + s * 7 + a % 13) / 100 }' >"$tmp/one.csv"
awk 'BEGIN { srand(5); print "id,A,B,score"
  for (s = 1; s <= 3; s++) for (a = 1; a <= 2; a++) for (b = 1; b <= 50000; b++)
    printf "s%d,a%d,b%d,%.2f\n", s, a, b, (int(rand() * 1000) + s * 7 + b % 13) / 100 }' >"$tmp/two.csv"
awk 'BEGIN { srand(9); print "id,item,time,score"
  for (s = 1; s <= 3; s++) for (i = 1; i <= 10000; i++) for (t = 1; t <= 3; t++)
    printf "s%d,i%d,t%d,%.2f\n", s, i, t, (int(rand() * 1000) + s * 7 + i % 13) / 100 }' >"$tmp/lines.csv"
awk 'BEGIN { srand(9); print "id,item,time,score"
  for (s = 1; s <= 3; s++) for (i = 1; i <= 100000; i++) for (t = 1; t <= 3; t++)
    printf "s%d,i%d,t%d,%.2f\n", s, i, t, (int(rand() * 1000) + s * 7 + i % 13) / 100 }' >"$tmp/cells.csv"
one="--id id --dv score --within A"
two="--id id --dv score --within A,B"
lines="--id id --dv score --within item,time --x time --lines item"
cells="--id id --dv score --within item,time"
echo "== many levels (median of $runs)"
measure "anova 100,000 levels, text" "$tool" anova "$tmp/one.csv" $one "$tmp/out.txt"
measure "anova 100,000 levels, json" "$tool" anova "$tmp/one.csv" $one --format json "$tmp/out.json"
measure "anova 2 x 50,000 levels, text" "$tool" anova "$tmp/two.csv" $two "$tmp/out.txt"
measure "anova 100,000 x 3 cells, text" "$tool" anova "$tmp/cells.csv" $cells "$tmp/out.txt"
measure "anova 100,000 x 3 cells, json" "$tool" anova "$tmp/cells.csv" $cells --format json "$tmp/out.json"
measure "plot 100,000 x 3 cells, 800x600" "$tool" plot "$tmp/cells.csv" "$tmp/p.png" $cells
measure "plot 100,000 levels, 800x600" "$tool" plot "$tmp/one.csv" "$tmp/p.png" $one
measure "plot 100,000 levels, 8192x8192" "$tool" plot "$tmp/one.csv" "$tmp/p.png" $one --width 8192 --height 8192
measure "plot 10,000 lines, 800x600" "$tool" plot "$tmp/lines.csv" "$tmp/p.png" $lines
measure "plot 10,000 lines, 8192x8192" "$tool" plot "$tmp/lines.csv" "$tmp/p.png" $lines --width 8192 --height 8192
