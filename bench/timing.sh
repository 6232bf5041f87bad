# Helpers the benchmark scripts share (sourced, not run): wall time of a command, the median
# and ratio of figures, and the folders a clean removes.

now_ns() { date +%s%N; }
# Milliseconds of wall time of one run of the command, its output discarded.
run_ms() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null 2>&1 || true
  end=$(now_ns)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.0f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# clean_targets CLI LOCATION OUT: writes to OUT the folders a clean of LOCATION removes, from
# a dry run, relative to LOCATION, and prints how many entries they hold.
clean_targets() {
  local cli=$1 location=$2 out=$3 removed=0 path
  "$cli" clean "$location" --dry-run 2>/dev/null |
    sed -e 's/^Would delete: //' -e 's/ ([0-9]* bytes)$//' -e "s|^$location/||" >"$out"
  while IFS= read -r path; do
    removed=$((removed + $(find "$location/$path" | wc -l)))
  done <"$out"
  echo "$removed"
}
