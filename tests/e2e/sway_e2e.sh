#!/usr/bin/env bash
# The Linux program in a Wayland session: sway, headless, with foot (a
# Wayland-native terminal) to end and wtype to type the chord through the
# virtual-keyboard protocol.
#
#   tests/e2e/sway_e2e.sh path/to/ProcessDrovak [scenario...]
#
# sway refuses to run as root: as root the script creates an unprivileged
# user and runs itself again as that user, in a scratch folder of its own.
# The session (bus, notification server, sway and its XWayland) is private
# to the run; balloons are read off the bus with dbus-monitor.
# The scenarios latency and figures (run only when named) measure the
# chord-to-gone time (PD_E2E_ROUNDS kills, 10), the idle cost and the
# start-up to the tray icon.
set -euo pipefail

program=$(realpath "${1:?usage: $0 path/to/ProcessDrovak [scenario...]}")
shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
for tool in sway swaymsg foot wtype dbus-launch dbus-monitor dbus-send dunst python3 xdotool; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

[[ $(id -u) -ne 0 ]] || rerun_as_user pd-e2e-sway "$here/sway_e2e.sh" "$@" -- "$here/../x11/sni_watcher.py"

open_scratch run
before_close() { [[ -z "${SWAYSOCK:-}" ]] || swaymsg exit >/dev/null 2>&1; }

# ---- The session ----------------------------------------------------------------
export XDG_RUNTIME_DIR=$scratch/session
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
eval "$(dbus-launch --sh-syntax)"
pids+=("$DBUS_SESSION_BUS_PID")
printf 'output HEADLESS-1 resolution 1280x1024\nxwayland enable\n' >"$scratch/sway.cfg"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$scratch/sway.cfg" \
  >"$scratch/sway.log" 2>&1 &
sway=$!
pids+=("$sway")
for _ in $(seq 100); do
  compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" >/dev/null && [[ -S $XDG_RUNTIME_DIR/wayland-1 ]] && break
  alive "$sway" || break
  sleep 0.1
done
compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" >/dev/null ||
  skip "sway did not start: $(tail -n 3 "$scratch/sway.log" | tr '\n' ' ')"
export SWAYSOCK WAYLAND_DISPLAY=wayland-1
SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock")
# The X display of sway's XWayland, as sway gives it to what it starts.
swaymsg exec "echo \$DISPLAY >$scratch/display" >/dev/null
wait_for 10 "sway's X display" test -s "$scratch/display"
export DISPLAY
DISPLAY=$(cat "$scratch/display")
[[ -n "$DISPLAY" ]] || skip "sway has no XWayland (install xwayland)"

dunst >/dev/null 2>&1 &
pids+=($!)
watch_notifications

# The pid of the focused window, as sway's tree says.
focused_pid() {
  swaymsg -t get_tree | python3 -c '
import json, sys
def walk(n):
    if n.get("focused"):
        return n.get("pid", 0)
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        p = walk(c)
        if p is not None:
            return p
print(walk(json.load(sys.stdin)) or 0)'
}
focused_is() { [[ "$(focused_pid)" == "$1" ]]; }

# The test's StatusNotifierWatcher (tests/x11), and whether it owns its name.
watcher_script() { [[ -f $here/sni_watcher.py ]] && echo "$here/sni_watcher.py" || echo "$here/../x11/sni_watcher.py"; }
watcher_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.kde.StatusNotifierWatcher 2>/dev/null | grep -q true
}

chord() { wtype -M ctrl -M alt -P Super_L -p Super_L -m alt -m ctrl; }
double_press() {
  chord
  sleep 0.2
  chord
}

# ---- The program ----------------------------------------------------------------
on_failure() {
  program_log
  tail -n 5 "$scratch/sway.log" | sed 's/^/  sway: /' >&2
}
# A foot terminal with the focus, $ft.
start_foot() {
  foot -e sleep 600 >/dev/null 2>&1 &
  ft=$!
  victim=$ft
  disown  # its end is the test's business: no "Killed" from the shell
  pids+=("$ft")
  wait_for 10 "focused foot" focused_is "$ft"
}

# ---- Scenarios ----------------------------------------------------------------
scenario_kill() {
  new_folder kill
  start_pd
  start_foot
  double_press
  wait_for 10 "end of foot" gone "$ft"
  wait_for 10 "success balloon" balloon foot "Было закрыто."
  alive "$pd" || fail "the program ended"
  alive "$sway" || fail "sway ended"
}

scenario_exception() {
  new_folder exception
  printf 'foot=1' >"$dir/Exclamations.txt"
  start_pd
  start_foot
  double_press
  wait_for 10 "refusal balloon" balloon foot "Не может быть закрыто, так как добавлено в список исключений."
  alive "$ft" || fail "foot on the exceptions list was ended"
  # Nothing focused (an empty workspace): nothing is ended, sway lives.
  swaymsg workspace 9 >/dev/null
  wait_for 5 "empty workspace" focused_is 0
  double_press
  sleep 0.5
  alive "$sway" || fail "sway ended"
  alive "$pd" || fail "the program ended"
  swaymsg workspace 1 >/dev/null
}

# The binding is the program's while it runs, and gone once it ended by
# "Выход" (the tray menu, opened by the watcher's activation of the item,
# is an X11 window of XWayland; xdotool clicks it there).
scenario_exit() {
  new_folder exit
  python3 "$(watcher_script)" >"$dir/watcher.log" 2>&1 &
  pids+=($!)
  wait_for 10 "tray watcher" watcher_up
  local events=$dir/events.log
  swaymsg -t subscribe -m '["binding"]' >"$events" 2>/dev/null &
  pids+=($!)
  start_pd
  chord
  wait_for 5 "the program's binding event" grep -q "nop ProcessDrovak-$pd" "$events"
  local menu
  menu=$(find_window --class '^ProcessDrovak$')
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  timeout 10 xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 8)) click 1
  wait_for 10 "end of the program" gone "$pd"
  chord
  sleep 0.5
  local n
  n=$(grep -c "nop ProcessDrovak-" "$events")
  ((n == 1)) || fail "the binding still fires after the exit ($n events)"
  alive "$sway" || fail "sway ended"
}

# Chord to gone, the median of PD_E2E_ROUNDS kills (a figure, not a limit).
scenario_latency() {
  new_folder latency
  start_pd
  press_to_gone start_foot chord
}

# Figures (not limits): idle cost with the compositor's subscription open,
# beside the same program started without it (no $SWAYSOCK: the desktop
# answers "unsupported"); start-up to the tray icon's registration with a
# StatusNotifierWatcher on the bus.
scenario_figures() {
  python3 "$(watcher_script)" --no-activate >"$scratch/watcher.log" 2>&1 &
  pids+=($!)
  wait_for 10 "tray watcher" watcher_up
  local t0 ms
  for mode in subscribed plain; do
    new_folder "figures-$mode"
    t0=$(date +%s%N)
    if [[ $mode == plain ]]; then
      env -u SWAYSOCK "${pd_env[@]}" "$dir/ProcessDrovak" >"$dir/out.log" 2>&1 &
    else
      env "${pd_env[@]}" "$dir/ProcessDrovak" >"$dir/out.log" 2>&1 &
    fi
    pd=$!
    pids+=("$pd")
    wait_for 10 "tray icon" grep -q "registered .*$pd" "$scratch/watcher.log"
    ms=$((($(date +%s%N) - t0) / 1000000))
    sleep 2
    echo "   $mode: start to tray icon $ms ms; idle: $(idle_cost "$pd")"
    kill -TERM "$pd"
    wait_for 10 "end of the program" gone "$pd"
  done
}

# latency and figures run when named.
run_scenarios "$@" -- kill exception exit
