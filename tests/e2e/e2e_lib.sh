# Helpers of the end-to-end scripts (sourced): waiting with a deadline,
# process state, screenshots and the scenario runner. The script keeps the
# processes it starts in the array pids.

fail() {
  echo "   FAILED: $*" >&2
  exit 1
}

# The machine lacks what the script needs (ctest's SKIP_RETURN_CODE).
skip() {
  echo "skipped: $*" >&2
  exit 77
}

quietly() { "$@" >/dev/null 2>&1; }

# wait_for SECONDS WHAT command...: polls the command until it succeeds.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || fail "no $what within $seconds s"
    sleep 0.05
  done
}

# Running and not a zombie.
alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [[ "${stat:0:1}" != "Z" && "${stat:0:1}" != "X" ]]
}
gone() { ! alive "$1"; }

# The first visible window that xdotool search finds with these arguments.
find_window() {
  wait_for 10 "window ($*)" quietly xdotool search --onlyvisible "$@"
  xdotool search --onlyvisible "$@" 2>/dev/null | head -n 1
}

# The whole screen as $PD_E2E_SHOTS/NAME.png, when that folder is set.
shot() {
  [[ -n "${PD_E2E_SHOTS:-}" ]] || return 0
  mkdir -p "$PD_E2E_SHOTS"
  import -window root "$PD_E2E_SHOTS/$1.png" 2>/dev/null || echo "  (no screenshot: import failed)"
}

# run_scenarios [NAME...] -- ALL...: runs scenario_NAME for the names given
# (all when none), each in a subshell that ends the processes it started
# (after calling on_failure, when the script has one and the scenario failed).
# The status is 1 when any failed.
run_scenarios() {
  local chosen=() all=() name failed=() status
  while [[ $# -gt 0 && "$1" != "--" ]]; do chosen+=("$1"); shift; done
  shift
  all=("$@")
  [[ ${#chosen[@]} -gt 0 ]] || chosen=("${all[@]}")
  for name in "${chosen[@]}"; do
    local t0=$SECONDS
    echo "== $name"
    set +e
    (
      set -e
      pids=()
      trap 'status=$?; set +e; ((status == 0)) || ! declare -F on_failure >/dev/null || on_failure
        for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done; wait 2>/dev/null' EXIT
      "scenario_$name"
    )
    status=$?
    set -e
    if [[ $status -eq 0 ]]; then
      echo "   ok ($((SECONDS - t0)) s)"
    else
      failed+=("$name")
    fi
  done
  [[ ${#failed[@]} -eq 0 ]] || { echo "FAILED: ${failed[*]}" >&2; return 1; }
  echo "all passed"
}

# The program's CPU time (ns, schedstat) and context switches (all threads)
# over PD_E2E_IDLE seconds (10) with no key moving.
idle_cost() {
  local cpu0 sw0 cpu1 sw1 secs=${PD_E2E_IDLE:-10}
  cpu0=$(cut -d' ' -f1 "/proc/$1/schedstat")
  sw0=$(cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }')
  sleep "$secs"
  cpu1=$(cut -d' ' -f1 "/proc/$1/schedstat")
  sw1=$(cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }')
  awk -v c=$((cpu1 - cpu0)) -v w=$((sw1 - sw0)) -v s="$secs" \
    'BEGIN { printf "cpu %.2f %% of a core, %.0f wake-ups/s\n", c / s / 1e7, w / s }'
}

# Ctrl+Alt+WIN, twice.
double_chord() {
  for _ in 1 2; do
    xdotool keydown Control_L Alt_L Super_L
    sleep 0.15
    xdotool keyup Super_L Alt_L Control_L
    sleep 0.1
  done
}
