#!/usr/bin/env bash
# Times `morvane export` and `morvane import` of a study of 10^6 scores (10^4
# subjects x 10 x 10 levels), long and wide, against `morvane copy` of the same
# study, each run in turn with the others so that a busy machine slows them
# alike. Prints the median wall and processor (user + system) times of RUNS
# rounds and each command's ratio to copy. Usage: bench/exchange-bench.sh BUILD RUNS
set -euo pipefail
default_runs=5
source "$(dirname "$0")/common.sh"

"$build/bench/morvane-genstudy" 10000 10 10 "$tmp/study.dat"
levels_a=$(seq -s, -f 'a%g' 1 10)
levels_b=$(seq -s, -f 'b%g' 1 10)
"$tool" export "$tmp/study.dat" "$tmp/long.csv"
"$tool" export "$tmp/study.dat" "$tmp/wide.csv" --wide

names=(copy "export --long" "import --long" "export --wide" "import --wide")
commands=(
  "copy $tmp/study.dat $tmp/copy.dat"
  "export $tmp/study.dat $tmp/out-long.csv"
  "import $tmp/long.csv $tmp/in-long.dat"
  "export $tmp/study.dat $tmp/out-wide.csv --wide"
  "import $tmp/wide.csv $tmp/in-wide.dat --wide --levels-a $levels_a --levels-b $levels_b"
)
for c in "${commands[@]}"; do $tool $c; done  # warms the page cache
for f in copy.dat in-long.dat in-wide.dat; do cmp -s "$tmp/study.dat" "$tmp/$f" || { echo "$f differs" >&2; exit 1; }; done
cmp -s "$tmp/long.csv" "$tmp/out-long.csv" && cmp -s "$tmp/wide.csv" "$tmp/out-wide.csv"

TIMEFORMAT='%3R %3U %3S'
for ((i = 0; i < runs; i++)); do
  for k in "${!commands[@]}"; do
    { time $tool ${commands[$k]}; } 2>>"$tmp/times.$k"
  done
done

wall() { awk '{ print $1 }' "$tmp/times.$1" | median; }
cpu() { awk '{ print $2 + $3 }' "$tmp/times.$1" | median; }
copy_wall=$(wall 0)
copy_cpu=$(cpu 0)
echo "== 10^6 scores, median of $runs (wall s, processor s, wall and processor against copy; goal: within 2 times)"
for k in "${!commands[@]}"; do
  printf '%-14s %6.3f s %6.3f s  %4.2f  %4.2f\n' "${names[$k]}" "$(wall "$k")" "$(cpu "$k")" \
    "$(awk -v a="$(wall "$k")" -v b="$copy_wall" 'BEGIN { print a / b }')" \
    "$(awk -v a="$(cpu "$k")" -v b="$copy_cpu" 'BEGIN { print a / b }')"
done
