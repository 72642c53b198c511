#!/usr/bin/env bash
# The Windows program under Wine driven as a user would, in the Wine session
# of scripts/wine-run (its private X display, openbox, Wine's own tray
# window):
#
#   tests/e2e/wine_e2e.sh path/to/ProcessDrovak.exe build-folder [scenario...]
#
# Each scenario runs a fresh copy of the program in a scratch folder of the
# build folder (the data folder is beside the executable) and ends every
# process it started; the Run value the program writes is deleted at the end.
# Screenshots go to $PD_E2E_SHOTS when it is set.
set -euo pipefail

program=$(realpath "${1:?usage: $0 path/to/ProcessDrovak.exe build-folder [scenario...]}")
build=$(realpath "${2:?usage: $0 path/to/ProcessDrovak.exe build-folder [scenario...]}")
shift 2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
wine_run=$here/../../scripts/wine-run
for tool in wine xdotool; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

export WINE_RUN_PREFIX=$build/wine-prefix
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
scratch=$(mktemp -d "$build/e2e-wine.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  "$wine_run" reg delete "$run_key" /v ProcessDrovak /f >/dev/null 2>&1 || true
  [[ -n "${PD_E2E_KEEP:-}" ]] || rm -rf "$scratch"
}
trap cleanup EXIT

# The session's display, once it runs.
"$wine_run" cmd /c exit 0
read -r DISPLAY _ <"$WINE_RUN_PREFIX/.wine-run-session"
export DISPLAY

# ---- Wine programs ----------------------------------------------------------------
# The child of wine-run ($1) that runs the program named $2 (wine-run has
# short-lived children of its own).
child_of() {
  local c
  for c in $(cat "/proc/$1/task/$1/children" 2>/dev/null); do
    tr '\0' ' ' 2>/dev/null <"/proc/$c/cmdline" | grep -qiF "$2" && { echo "$c"; return 0; }
  done
  return 1
}

# Starts a Windows program in the background; $runner is wine-run.
start_wine() {
  "$wine_run" "$@" >/dev/null 2>&1 &
  runner=$!
  pids+=("$runner")
}

# Starts notepad (Wine runs it from start.exe, which waits for it); its
# window in $np_window, its process in $np.
start_notepad() {
  start_wine notepad.exe
  np_window=$(find_window --class '^notepad\.exe$')
  np=$(xdotool getwindowpid "$np_window")
  pids+=("$np")
}

# A balloon of Wine's tray: a visible window of explorer.exe other than the
# tray itself.
balloon_shown() {
  local w
  for w in $(xdotool search --onlyvisible --class explorer.exe 2>/dev/null); do
    [[ "$(xdotool getwindowname "$w" 2>/dev/null)" == "Wine System Tray" ]] || return 0
  done
  return 1
}

# A fresh folder, $dir, with a copy of the program, started; $pd runs it.
# Ready once the first-run balloon is shown: the hot keys run by then, and
# the balloon cannot take the focus from the windows of the scenario.
start_pd() {
  dir=$scratch/$1
  mkdir -p "$dir"
  cp "$program" "$dir/ProcessDrovak.exe"
  [[ -z "${2:-}" ]] || printf '%s' "$2" >"$dir/Blocks.txt"
  start_wine "$dir/ProcessDrovak.exe"
  wait_for 10 "process of the program" quietly child_of "$runner" "$dir/ProcessDrovak.exe"
  pd=$(child_of "$runner" "$dir/ProcessDrovak.exe")
  pids+=("$pd")
  wait_for 20 "Options.cfg" test -s "$dir/Options.cfg"
  wait_for 10 "first-run balloon" balloon_shown
}

# ---- Scenarios ----------------------------------------------------------------
scenario_kill() {
  start_pd kill
  start_notepad
  timeout 10 xdotool windowactivate --sync "$np_window"
  double_chord
  wait_for 10 "end of notepad" gone "$np"
  wait_for 10 "balloon" balloon_shown
  shot wine-kill
  alive "$pd" || fail "the program ended"
}

# A notepad running when the program starts is ended; one started later
# ends at once (its start.exe returns).
scenario_block() {
  start_notepad
  start_pd block $'notepad.exe=1\r\nwordpad.exe=0'
  wait_for 10 "end of the running notepad" gone "$np"
  local t0=$(date +%s%N) ms
  start_wine notepad.exe
  wait_for 10 "end of the new notepad" gone "$runner"
  ms=$((($(date +%s%N) - t0) / 1000000))
  echo "   notepad ended $ms ms after it was started"
  ((ms < 3000)) || fail "notepad lived $ms ms"
  quietly xdotool search --onlyvisible --class '^notepad\.exe$' && fail "a notepad window is left" || true
}

scenario_autostart() {
  start_pd autostart
  local want out
  want="\"Z:${dir//\//\\}\\ProcessDrovak.exe\""
  # The value is written at the start, not necessarily before the balloon.
  wait_for 10 "Run value $want" run_value_is "$want"
}
run_value_is() {
  "$wine_run" reg query "$run_key" /v ProcessDrovak 2>/dev/null | tr -d '\r' | grep -qiF "REG_SZ    $1"
}

# A second copy asks the first to show its window, then ends (status 0)
# touching no file; the first restores its window after the user minimised it.
scenario_second() {
  start_pd second
  main_window() { xdotool search --onlyvisible --name '^Process Drovak 1\.3$' 2>/dev/null | head -n 1 | grep .; }
  main_window >/dev/null && fail "the window shows before the second start"
  local before status=0 window
  before=$(cat "$dir"/* 2>/dev/null | md5sum)
  timeout 20 "$wine_run" "$dir/ProcessDrovak.exe" || status=$?
  ((status == 0)) || fail "the second copy ended with status $status"
  wait_for 10 "the first copy's window" quietly main_window
  shot wine-second
  [[ "$(cat "$dir"/* 2>/dev/null | md5sum)" == "$before" ]] || fail "a file changed"
  alive "$pd" || fail "the first copy ended"
  window=$(main_window)
  timeout 10 xdotool windowminimize --sync "$window"
  main_window >/dev/null && fail "the window shows while minimised"
  timeout 20 "$wine_run" "$dir/ProcessDrovak.exe"
  wait_for 10 "the minimised window to come back" quietly main_window
}

run_scenarios "$@" -- kill block autostart second
