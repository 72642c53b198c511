#!/bin/sh
# Builds the fuzz targets with the fuzz preset and runs each for a while.
#   fuzz/run.sh [seconds-per-target] [target...]
# Defaults: 600 seconds; every target (ini_text ini_edit markup json handlers, and dword
# when the registry component is in the tree). Each target works
# in fuzz/corpus-<target>/ (not committed): the growing corpus in inputs/,
# seeded from fuzz/seeds/<target>/, the log in fuzz-0.log and any crash as
# crash-*.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps --fuzz
seconds=${1:-600}
[ $# -gt 0 ] && shift
all="ini_text ini_edit markup json handlers"
[ -f registry/clsReg.cpp ] && all="$all dword"
targets=${*:-$all}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 $(for t in $targets; do printf -- '--target fuzz_%s ' "$t"; done)
for t in $targets; do
  work=$root/fuzz/corpus-$t
  mkdir -p "$work/inputs"
  echo "== fuzz_$t for $seconds s (log: $work/fuzz-0.log)"
  (cd "$work" && nice "$root/build/fuzz/fuzz/fuzz_$t" -jobs=1 -workers=1 -max_total_time="$seconds" \
     -max_len=65536 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/" -print_final_stats=1 \
     "$work/inputs" "$root/fuzz/seeds/$t")
done
