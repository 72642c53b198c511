#!/usr/bin/env bash
# The Linux program driven as a user would, on a private desktop:
#
#   scripts/with-xvfb --tray --notify -- tests/e2e/linux_e2e.sh path/to/ProcessDrovak [scenario...]
#
# Each scenario runs a fresh copy of the program in a scratch folder of its
# own (the data folder is then beside the executable; HOME, the config and
# the runtime folder are scratch too) and ends every process it started.
# Balloons are read off the session bus with dbus-monitor. Screenshots go to
# $PD_E2E_SHOTS when it is set; PD_E2E_KEEP=1 keeps the scratch folder.
set -euo pipefail

program=$(realpath "${1:?usage: $0 path/to/ProcessDrovak [scenario...]}")
shift
source "$(dirname "$0")/e2e_lib.sh"
for tool in xdotool xwininfo xprop xterm dbus-monitor dbus-send; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[[ -n "${DISPLAY:-}" && -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]] ||
  { echo "linux_e2e: run under scripts/with-xvfb --tray --notify" >&2; exit 2; }

open_scratch pd-e2e
own_runtime=1  # the desktop's session is not the program's concern here

# ---- The desktop ----------------------------------------------------------------
watch_notifications
# A program started before the panel has no icon and shows no balloon.
wait_for 10 "tray panel" quietly xdotool search --onlyvisible --class tint2

# The icon docked in the panel: the window named as the tip, without a class.
tray_icon() { xwininfo -root -tree | awk '/"Process Drovak 1.3": \(\)/ { print $1; f = 1 } END { exit !f }'; }

# ---- The program ----------------------------------------------------------------
on_failure() { program_log; }

# An xterm in the foreground, $xt.
start_xterm() {
  xterm -T "pd-e2e-$1" -e sleep 600 2>/dev/null &
  xt=$!
  pids+=("$xt")
  timeout 10 xdotool windowactivate --sync "$(find_window --name "^pd-e2e-$1\$")"
}

# ---- Scenarios ----------------------------------------------------------------
scenario_kill() {
  new_folder kill
  start_pd
  start_xterm kill
  double_chord
  wait_for 10 "end of the xterm" gone "$xt"
  wait_for 10 "success balloon" balloon xterm "Было закрыто."
  shot kill
  alive "$pd" || fail "the program ended"
}

scenario_exception() {
  new_folder exception
  printf 'xterm=1' >"$dir/Exclamations.txt"
  start_pd
  start_xterm exception
  double_chord
  wait_for 10 "refusal balloon" balloon xterm "Не может быть закрыто, так как добавлено в список исключений."
  alive "$xt" || fail "the xterm on the exceptions list was killed"
}

scenario_block() {
  new_folder block
  cp "$(command -v sleep)" "$dir/pdblockme"
  printf 'pdblockme=1\r\nxterm=0' >"$dir/Blocks.txt"
  start_pd
  local t0=$(date +%s%N) ms
  "$dir/pdblockme" 600 2>/dev/null &
  pids+=($!)
  wait_for 10 "end of the blocked program" gone $!
  ms=$((($(date +%s%N) - t0) / 1000000))
  echo "   the blocked program ended after $ms ms"
  wait_for 10 "block balloon" balloon pdblockme "Было заблокировано."
  ((ms < 1000)) || fail "the blocked program lived $ms ms"
}

# A process older than a second that becomes a blocked program by exec is
# ended within a second of the exec.
scenario_exec_block() {
  new_folder exec_block
  cp "$(command -v sleep)" "$dir/pdblockme"
  printf 'pdblockme=1' >"$dir/Blocks.txt"
  start_pd
  bash -c "sleep 3; exec '$dir/pdblockme' 600" 2>/dev/null &
  local old=$! t0=$(date +%s%N) ms
  pids+=("$old")
  wait_for 10 "end of the exec'd blocked program" gone "$old"
  ms=$((($(date +%s%N) - t0) / 1000000 - 3000))
  echo "   the blocked program ended $ms ms after the exec"
  wait_for 10 "block balloon" balloon pdblockme "Было заблокировано."
  ((ms < 1500)) || fail "the exec'd blocked program lived $ms ms"
}

# The double press judges the program a process runs now: a shell on the
# exceptions list that became an xterm by exec, two seconds old, is ended.
scenario_exec_kill() {
  new_folder exec_kill
  printf 'bash=1' >"$dir/Exclamations.txt"
  start_pd
  bash -c "sleep 2; exec xterm -T pd-e2e-exec -e sleep 600" 2>/dev/null &
  xt=$!
  pids+=("$xt")
  timeout 10 xdotool windowactivate --sync "$(find_window --name '^pd-e2e-exec$')"
  double_chord
  wait_for 10 "end of the xterm" gone "$xt"
  wait_for 10 "success balloon" balloon xterm "Было закрыто."
}

scenario_exit() {
  new_folder exit
  start_pd
  rm "$dir/Options.cfg"  # written at the first start; "Выход" must write it again
  wait_for 10 "tray icon" quietly tray_icon
  timeout 10 xdotool mousemove --window "$(tray_icon)" 6 6 click 1
  local menu
  menu=$(find_window --class '^ProcessDrovak$')
  shot menu
  # "Выход" is the menu's last row.
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  timeout 10 xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 8)) click 1
  wait_for 10 "end of the program" gone "$pd"
  local status=0
  wait "$pd" || status=$?
  ((status == 0)) || fail "the program ended with status $status"
  grep -q '^Enabled=True' "$dir/Options.cfg" || fail "Options.cfg was not written on exit"
  tray_icon >/dev/null && fail "the tray icon stayed"
  true
}

# The window of the program, shown.
main_window() { xdotool search --onlyvisible --name '^Process Drovak 1\.3$' 2>/dev/null | head -n 1 | grep .; }

# A second copy shows the first's window and ends at once, touching no file.
scenario_second() {
  new_folder second
  start_pd
  main_window >/dev/null && fail "the window shows before the second start"
  local before t0=$(date +%s%N) status=0
  before=$(files_sum)
  timeout 10 env "${pd_env[@]}" "$dir/ProcessDrovak" || status=$?
  echo "   the second copy ended after $((($(date +%s%N) - t0) / 1000000)) ms"
  ((status == 0)) || fail "the second copy ended with status $status"
  wait_for 10 "the first copy's window" quietly main_window
  shot second
  alive "$pd" || fail "the first copy ended"
  [[ "$(files_sum)" == "$before" ]] || fail "a file changed"
  # Minimised by the user, the window comes back at the next start.
  local window
  window=$(main_window)
  timeout 10 xdotool windowminimize --sync "$window"
  main_window >/dev/null && fail "the window shows while minimised"
  timeout 10 env "${pd_env[@]}" "$dir/ProcessDrovak"
  wait_for 10 "the minimised window to come back" quietly main_window
  xprop -id "$window" WM_STATE | grep -q 'state: Normal' || fail "still iconic: $(xprop -id "$window" WM_STATE)"
}
files_sum() { { cat "$dir"/*.cfg "$dir"/*.txt 2>/dev/null || true; } | md5sum; }

# ends_cleanly PID: the program ended with status 0, Options.cfg written.
ends_cleanly() {
  wait_for 10 "end of the program" gone "$1"
  local status=0
  wait "$1" || status=$?
  ((status == 0)) || fail "the program ended with status $status"
  [[ -s "$dir/Options.cfg" ]] || fail "Options.cfg was not written"
}

# Logout, shutdown, kill, Ctrl+C: the options are saved (a "Включен" switched
# off in the menu since the last save included), the icon goes, status 0.
scenario_signals() {
  local sig
  for sig in TERM HUP INT; do
    new_folder "signal-$sig"
    start_pd
    rm "$dir/Options.cfg"  # written at the first start
    if [[ $sig == TERM ]]; then
      wait_for 10 "tray icon" quietly tray_icon
      timeout 10 xdotool mousemove --window "$(tray_icon)" 6 6 click 1
      local menu
      menu=$(find_window --class '^ProcessDrovak$')
      eval "$(xdotool getwindowgeometry --shell "$menu")"
      timeout 10 xdotool mousemove $((X + WIDTH / 2)) $((Y + 8)) click 1  # "Включен", the first row
      wait_for 10 "the menu to close" gone_window "$menu"
    fi
    kill -s "$sig" "$pd"
    ends_cleanly "$pd"
    if [[ $sig == TERM ]]; then
      grep -q '^Enabled=False' "$dir/Options.cfg" || fail "the switch to off was lost: $(cat "$dir/Options.cfg")"
    fi
    tray_icon >/dev/null && fail "the tray icon stayed after SIG$sig"
    echo "   SIG$sig: saved, status 0"
  done
}
gone_window() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }

# The X server goes away under the program (the session's end on a desktop
# that ends its server first): the same unload. On a server of its own.
scenario_display_lost() {
  command -v Xvfb >/dev/null || skip "Xvfb is not installed"
  new_folder display-lost
  local fifo=$dir/displayfd number
  mkfifo "$fifo"
  Xvfb -displayfd 3 -nolisten tcp 3>"$fifo" 2>/dev/null &
  local server=$!
  pids+=("$server")
  disown  # killed below, silently
  read -r -t 10 number <"$fifo" || fail "no display from Xvfb"
  pd_env+=(DISPLAY=":$number")
  # No tray on that display: no balloon either; started once the first
  # start has written its options.
  env "${pd_env[@]}" "$dir/ProcessDrovak" >"$dir/out.log" 2>&1 &
  pd=$!
  pids+=("$pd")
  wait_for 10 "first start" test -s "$dir/Options.cfg"
  sleep 0.5  # into the loop
  rm "$dir/Options.cfg"
  kill -9 "$server"
  ends_cleanly "$pd"
  grep -q "connection to the display" "$dir/out.log" || fail "the loss was not told"
}

# Figures (not limits), run when named: chord to gone, the median of
# PD_E2E_ROUNDS kills (10); start-up to the docked icon and the idle cost.
scenario_latency() {
  new_folder latency
  start_pd
  local times=() t0 ms
  for i in $(seq "${PD_E2E_ROUNDS:-10}"); do
    start_xterm "latency$i"
    xdotool keydown Control_L Alt_L Super_L
    sleep 0.15
    xdotool keyup Super_L Alt_L Control_L
    sleep 0.1
    t0=$(date +%s%N)
    xdotool keydown Control_L Alt_L Super_L
    sleep 0.15
    xdotool keyup Super_L Alt_L Control_L
    wait_for 10 "end of the xterm" gone "$xt"
    times+=($((($(date +%s%N) - t0) / 1000000)))
    sleep 1.1  # the press count resets
  done
  echo "   chord to gone (ms): ${times[*]}; median $(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((${#times[@]} + 1) / 2))p")"
}

scenario_figures() {
  new_folder figures
  local t0 ms
  t0=$(date +%s%N)
  env "${pd_env[@]}" "$dir/ProcessDrovak" >"$dir/out.log" 2>&1 &
  pd=$!
  pids+=("$pd")
  wait_for 10 "tray icon" quietly tray_icon
  ms=$((($(date +%s%N) - t0) / 1000000))
  sleep 2
  echo "   start to tray icon $ms ms; idle: $(idle_cost "$pd")"
}

run_scenarios "$@" -- kill exception block exec_block exec_kill exit second signals display_lost
