#!/usr/bin/env bash
# The Linux program in a KDE Plasma Wayland session: KWin, headless
# (kwin_wayland --virtual) with its XWayland, and weston-simple-shm (a
# Wayland-native window) to end. KWin has no virtual keyboard here: the
# shortcut the program's script registers is pressed through the desktop's
# shortcut service (org.kde.kglobalaccel invokeShortcut), which runs the
# same action a key would.
#
#   tests/e2e/kwin_e2e.sh path/to/ProcessDrovak [scenario...]
#
# As root the script runs itself again as an unprivileged user, with a copy
# of KWin's binary (the installed one carries a file capability an
# unprivileged exec may be refused). The session (bus, notification server, KWin and its XWayland)
# is private to the run; balloons are read off the bus with dbus-monitor.
set -euo pipefail

program=$(realpath "${1:?usage: $0 path/to/ProcessDrovak [scenario...]}")
shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
for tool in kwin_wayland weston-simple-shm dbus-launch dbus-monitor dbus-send dunst; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

[[ $(id -u) -ne 0 ]] || rerun_as_user pd-e2e-kwin "$here/kwin_e2e.sh" "$@" -- "$(command -v kwin_wayland)"

kwin=${PD_E2E_TOP:+$PD_E2E_TOP/kwin_wayland}
[[ -x "${kwin:-}" ]] || kwin=$(command -v kwin_wayland)
open_scratch run

# ---- The session ----------------------------------------------------------------
export XDG_RUNTIME_DIR=$scratch/session
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
eval "$(dbus-launch --sh-syntax)"
pids+=("$DBUS_SESSION_BUS_PID")
# What KWin starts gets its X display: written down.
"$kwin" --virtual --xwayland --no-lockscreen --socket wayland-pd --width 1280 --height 1024 \
  "sh -c 'echo \$DISPLAY >$scratch/display'" >"$scratch/kwin.log" 2>&1 &
kwin_pid=$!
pids+=("$kwin_pid")
kwin_up() {
  dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.freedesktop.DBus.Introspectable.Introspect \
    >/dev/null 2>&1
}
for _ in $(seq 150); do
  [[ -S $XDG_RUNTIME_DIR/wayland-pd ]] && kwin_up && break
  alive "$kwin_pid" || break
  sleep 0.1
done
kwin_up || skip "KWin did not start: $(grep -v -i 'xkb\|keycode' "$scratch/kwin.log" | tail -n 3 | tr '\n' ' ')"
export WAYLAND_DISPLAY=wayland-pd XDG_CURRENT_DESKTOP=KDE
wait_for 10 "KWin's X display" test -s "$scratch/display"
export DISPLAY
DISPLAY=$(cat "$scratch/display")
[[ -n "$DISPLAY" ]] || skip "KWin has no XWayland (install xwayland)"

env -u WAYLAND_DISPLAY dunst >/dev/null 2>&1 &
pids+=($!)
watch_notifications

script_loaded() {
  dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.isScriptLoaded \
    string:ProcessDrovak 2>/dev/null | grep -q "boolean true"
}
# The program's shortcut, pressed as the desktop's shortcut service does.
press() {
  dbus-send --session --type=method_call --dest=org.kde.kglobalaccel /component/kwin \
    org.kde.kglobalaccel.Component.invokeShortcut string:ProcessDrovak
}
double_press() {
  press
  sleep 0.2
  press
}

# ---- The program ----------------------------------------------------------------
on_failure() {
  program_log
  grep -v -i 'xkb\|keycode' "$scratch/kwin.log" | tail -n 5 | sed 's/^/  kwin: /' >&2
}
# The program, $pd, with its script loaded; the first run names the keys
# KWin binds.
start_pd_in_kwin() {
  start_pd
  tail -c +$((mark + 1)) "$notes" | grep -q "клавиш Ctrl+Alt+End дважды" || fail "the first run does not name Ctrl+Alt+End"
  wait_for 10 "the program's KWin script" script_loaded
}
# A Wayland window, active, $win.
start_window() {
  weston-simple-shm >/dev/null 2>&1 &
  win=$!
  victim=$win
  disown
  pids+=("$win")
  wait_for 10 "the window" alive "$win"
  sleep 1  # mapped and activated
}

# ---- Scenarios ----------------------------------------------------------------
scenario_kill() {
  new_folder kill
  start_pd_in_kwin
  start_window
  double_press
  wait_for 10 "end of the window's process" gone "$win"
  wait_for 10 "success balloon" balloon weston-simple-shm "Было закрыто."
  alive "$pd" || fail "the program ended"
  alive "$kwin_pid" || fail "KWin ended"
  # No window is active now: pressed again, nothing is ended.
  double_press
  sleep 0.5
  alive "$pd" || fail "the program ended"
  alive "$kwin_pid" || fail "KWin ended"
}

scenario_exception() {
  new_folder exception
  printf 'weston-simple-shm=1' >"$dir/Exclamations.txt"
  start_pd_in_kwin
  start_window
  double_press
  wait_for 10 "refusal balloon" balloon weston-simple-shm \
    "Не может быть закрыто, так как добавлено в список исключений."
  alive "$win" || fail "the excepted window was ended"
}

# The script is KWin's while the program runs, and gone once it ended (at
# the session's end, SIGTERM: the same unload as "Выход").
scenario_exit() {
  new_folder exit
  start_pd_in_kwin
  start_window
  kill -TERM "$pd"
  wait_for 10 "end of the program" gone "$pd"
  script_loaded && fail "the script is still loaded after the end"
  double_press
  sleep 0.5
  alive "$win" || fail "a press after the end ended the window"
  [[ ! -e $XDG_RUNTIME_DIR/ProcessDrovak-kwin.js ]] || fail "the script's file was left behind"
}

# Keys the user gave the action in the desktop's settings are kept by the
# shortcut service, named by the next first run and pressed as before.
scenario_user_keys() {
  new_folder user_keys
  start_pd_in_kwin
  # Ctrl+WIN+K, stored as the user's choice.
  dbus-send --session --print-reply --dest=org.kde.kglobalaccel /kglobalaccel org.kde.KGlobalAccel.setShortcut \
    array:string:kwin,ProcessDrovak,KWin,ProcessDrovak array:int32:$((0x1400004B)) uint32:4 >/dev/null
  kill -TERM "$pd"
  wait_for 10 "end of the program" gone "$pd"
  new_folder user_keys_again
  start_pd
  wait_for 10 "the program's KWin script" script_loaded
  tail -c +$((mark + 1)) "$notes" | grep -q "клавиш Ctrl+WIN+K дважды" || fail "the first run does not name Ctrl+WIN+K"
  start_window
  double_press
  wait_for 10 "end of the window's process" gone "$win"
}

# Press to gone, the median of PD_E2E_ROUNDS kills (a figure, not a
# limit), and the idle cost with the script loaded.
scenario_latency() {
  new_folder latency
  start_pd_in_kwin
  press_to_gone start_window press
  echo "   idle with the script loaded: $(idle_cost "$pd")"
}

# latency runs when named.
run_scenarios "$@" -- kill exception exit user_keys
