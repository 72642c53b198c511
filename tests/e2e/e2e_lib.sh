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

# ---- The Linux desktops (linux, sway and KWin scripts) --------------------------
# They set program (the program under test) and here (their folder) first.

# As root: runs the calling script again as USER (created when missing), in
# a scratch folder of its own ($PD_E2E_TOP) holding the program, the script,
# this library and FILES, and exits with its status (sway refuses root; an
# unprivileged exec may refuse a binary's file capabilities).
#   rerun_as_user USER SCRIPT [SCENARIO...] -- [FILE...]
rerun_as_user() {
  local user=$1 script=$2 args=() top status=0
  shift 2
  while [[ $# -gt 0 && "$1" != "--" ]]; do args+=("$1"); shift; done
  [[ $# -gt 0 ]] && shift
  id "$user" >/dev/null 2>&1 || useradd -m "$user" >/dev/null 2>&1 || skip "no unprivileged user $user"
  top=$(mktemp -d "${TMPDIR:-/tmp}/$user.XXXXXX")
  chmod 755 "$top"
  cp "$program" "$top/ProcessDrovak"
  cp "$script" "$here/e2e_lib.sh" "$@" "$top/"
  chown -R "$user" "$top"
  runuser -u "$user" -- env -i PATH="$PATH" HOME="$top" PD_E2E_TOP="$top" PD_E2E_ROUNDS="${PD_E2E_ROUNDS:-10}" \
    PD_E2E_SHOTS="${PD_E2E_SHOTS:-}" bash "$top/$(basename "$script")" "$top/ProcessDrovak" "${args[@]}" ||
    status=$?
  [[ -n "${PD_E2E_KEEP:-}" ]] || rm -rf "$top"
  exit "$status"
}

# A scratch folder, $scratch, gone at the end with every process in pids
# (after before_close, where the script has one). fontconfig's caches live as
# long as the program: not leaks (sanitizer builds).
open_scratch() {
  scratch=$(mktemp -d "${PD_E2E_TOP:-${TMPDIR:-/tmp}}/$1.XXXXXX")
  pids=()
  trap close_scratch EXIT
  printf 'leak:libfontconfig.so\n' >"$scratch/lsan.supp"
  export LSAN_OPTIONS="suppressions=$scratch/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}
close_scratch() {
  ! declare -F before_close >/dev/null || before_close || true
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [[ -n "${PD_E2E_KEEP:-}" ]] || rm -rf "$scratch"
}

# The notifications on the session bus, watched into $notes; ready once the
# server (started by the script) answered a call the monitor saw.
watch_notifications() {
  notes=$scratch/notify.log
  dbus-monitor --session "interface='org.freedesktop.Notifications'" >"$notes" 2>&1 &
  pids+=($!)
  disown  # ended by close_scratch, silently
  wait_for 10 "notification server and monitor" bash -c '
    dbus-send --session --print-reply --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
      org.freedesktop.Notifications.GetServerInformation >/dev/null 2>&1 && grep -q GetServerInformation "$0"' "$notes"
  mark=0
}
# A balloon with this title and a text that begins so, since the scenario
# began.
balloon() { tail -c +$((mark + 1)) "$notes" | grep -A1 -xF "   string \"$1\"" | grep -q "^   string \"$2"; }

# new_folder NAME: a fresh folder with a copy of the program, $dir; its
# environment in pd_env (with a runtime folder of its own where the script
# set own_runtime=1).
new_folder() {
  rm -f "$scratch"/*/ProcessDrovak  # the copies of earlier scenarios (large in sanitizer builds)
  dir=$scratch/$1
  mkdir -p "$dir/home/.config" "$dir/run"
  chmod 700 "$dir/run"
  cp "$program" "$dir/ProcessDrovak"
  pd_env=(HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config")
  [[ -z "${own_runtime:-}" ]] || pd_env+=(XDG_RUNTIME_DIR="$dir/run")
  mark=$(stat -c %s "$notes")
}
# The program's last words, for a failed scenario.
program_log() { [[ -s "${dir:-}/out.log" ]] && sed 's/^/  program: /' "$dir/out.log" | tail -n 20 >&2 || true; }

# Starts the program, $pd; ready once its first-run balloon arrived (the hot
# keys run by then).
start_pd() {
  env "${pd_env[@]}" "$dir/ProcessDrovak" >"$dir/out.log" 2>&1 &
  pd=$!
  pids+=("$pd")
  wait_for 10 "first-run balloon" balloon "Process Drovak 1.3 - Что это?" "Программа поможет"
}

# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

# press_to_gone START PRESS: PD_E2E_ROUNDS times, START opens a window of
# process $victim and PRESS presses the chord once; prints the times from
# the second press to the end of $victim, and their median (a figure, not a
# limit).
press_to_gone() {
  local start=$1 press=$2 times=() t0
  for _ in $(seq "${PD_E2E_ROUNDS:-10}"); do
    "$start"
    "$press"
    sleep 0.2
    t0=$(date +%s%N)
    "$press"
    wait_for 10 "end of the window's process" gone "$victim"
    times+=($((($(date +%s%N) - t0) / 1000000)))
    sleep 1.1  # the press count resets
  done
  echo "   press to gone (ms): ${times[*]}; median $(median "${times[@]}")"
}
