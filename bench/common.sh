# The benchmark scripts' shared start: BUILD and RUNS from the command line
# (RUNS defaulting to the script's own $default_runs), the tool, a scratch
# folder removed at the end, and the median of numbers on standard input.
build=${1:-build}
runs=${2:-$default_runs}
tool="$build/tools/morvane/morvane"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
