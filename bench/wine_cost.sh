#!/usr/bin/env bash
# What the Windows program costs under Wine while it waits, for comparison
# with program_bench on Linux: enabled (its first run), hot keys polled, one
# block entry on. Windows has no cheap count of process starts, so the block
# timer takes a Toolhelp snapshot at every tick, and under Wine each one is a
# request to wineserver: both processes are measured.
#
#   cmake --preset windows && cmake --build --preset windows --target ProcessDrovak
#   bench/wine_cost.sh build/windows/app/ProcessDrovak.exe [seconds [block-entry]]
#
# An empty block entry ('') measures the program with no entry on.
set -euo pipefail

program=$(realpath "${1:?usage: $0 path/to/ProcessDrovak.exe [seconds]}")
seconds=${2:-30}
entry=${3-pdblocked.exe}
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../scripts/wine-run
build=$(dirname "$(dirname "$program")")
export WINE_RUN_PREFIX=$build/wine-prefix

scratch=$(mktemp -d "$build/wine-cost.XXXXXX")
runner=
cleanup() {
  [[ -z "$runner" ]] || pkill -9 -P "$runner" 2>/dev/null || true
  [[ -z "$runner" ]] || kill -9 "$runner" 2>/dev/null || true
  "$wine_run" reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v ProcessDrovak /f >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

cp "$program" "$scratch/ProcessDrovak.exe"
[[ -z "$entry" ]] || printf '%s=1\r\n' "$entry" >"$scratch/Blocks.txt"
"$wine_run" cmd /c exit 0  # the session, warm
"$wine_run" "$scratch/ProcessDrovak.exe" >/dev/null 2>&1 &
runner=$!
for _ in $(seq 200); do [[ -s "$scratch/Options.cfg" ]] && break; sleep 0.1; done
[[ -s "$scratch/Options.cfg" ]] || { echo "wine_cost: the program did not start" >&2; exit 1; }
sleep 3

# The Wine process itself (wine-run's shell carries the path too).
pd=
for p in $(pgrep -f "$scratch/ProcessDrovak.exe"); do
  [[ "$(cat "/proc/$p/comm" 2>/dev/null)" == bash ]] || pd=$p
done
server=$(pgrep wineserver | head -n 1)
[[ -n "$pd" && -n "$server" ]] || { echo "wine_cost: program or wineserver not found" >&2; exit 1; }
cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }
p0=$(cpu_ns "$pd") s0=$(cpu_ns "$server") t0=$(date +%s%N)
sleep "$seconds"
p1=$(cpu_ns "$pd") s1=$(cpu_ns "$server") t1=$(date +%s%N)
rss=$(awk '/^VmRSS:/ {printf "%.1f", $2 / 1024}' "/proc/$pd/status")
awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v w=$((t1 - t0)) -v rss="$rss" -v n="$seconds" 'BEGIN {
  printf "over %d s: program %.3f %% of a core, wineserver %.3f %%, program resident %s MB\n", n, 100 * p / w, 100 * s / w, rss
}'
