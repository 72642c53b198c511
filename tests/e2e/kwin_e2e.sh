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
# As root the script creates an unprivileged user and runs itself again as
# that user, in a scratch folder of its own; KWin's binary is copied there
# (the installed one carries a file capability an unprivileged exec may be
# refused). The session (bus, notification server, KWin and its XWayland)
# is private to the run; balloons are read off the bus with dbus-monitor.
set -euo pipefail

program=$(realpath "${1:?usage: $0 path/to/ProcessDrovak [scenario...]}")
shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
for tool in kwin_wayland weston-simple-shm dbus-launch dbus-monitor dbus-send dunst; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

if [[ $(id -u) -eq 0 ]]; then
  user=pd-e2e-kwin
  id "$user" >/dev/null 2>&1 || useradd -m "$user" >/dev/null 2>&1 || skip "no unprivileged user for KWin"
  top=$(mktemp -d "${TMPDIR:-/tmp}/pd-kwin.XXXXXX")
  chmod 755 "$top"
  cp "$program" "$top/ProcessDrovak"
  cp "$(command -v kwin_wayland)" "$top/kwin_wayland"
  cp "$here/kwin_e2e.sh" "$here/e2e_lib.sh" "$top/"
  chown -R "$user" "$top"
  status=0
  runuser -u "$user" -- env -i PATH="$PATH" HOME="$top" PD_KWIN_TOP="$top" PD_KWIN_ROUNDS="${PD_KWIN_ROUNDS:-10}" \
    bash "$top/kwin_e2e.sh" "$top/ProcessDrovak" "$@" || status=$?
  [[ -n "${PD_E2E_KEEP:-}" ]] || rm -rf "$top"
  exit "$status"
fi

kwin=${PD_KWIN_TOP:+$PD_KWIN_TOP/kwin_wayland}
[[ -x "${kwin:-}" ]] || kwin=$(command -v kwin_wayland)
scratch=$(mktemp -d "${PD_KWIN_TOP:-${TMPDIR:-/tmp}}/run.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [[ -n "${PD_E2E_KEEP:-}" ]] || rm -rf "$scratch"
}
trap cleanup EXIT
printf 'leak:libfontconfig.so\n' >"$scratch/lsan.supp"
export LSAN_OPTIONS="suppressions=$scratch/lsan.supp:print_suppressions=0"

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

notes=$scratch/notify.log
dbus-monitor --session "interface='org.freedesktop.Notifications'" >"$notes" 2>&1 &
pids+=($!)
env -u WAYLAND_DISPLAY dunst >/dev/null 2>&1 &
pids+=($!)
wait_for 10 "notification server and monitor" bash -c '
  dbus-send --session --print-reply --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
    org.freedesktop.Notifications.GetServerInformation >/dev/null 2>&1 && grep -q GetServerInformation "$0"' "$notes"

mark=0
balloon() { tail -c +$((mark + 1)) "$notes" | grep -A1 -xF "   string \"$1\"" | grep -q "^   string \"$2"; }

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
new_folder() {
  dir=$scratch/$1
  mkdir -p "$dir/home/.config"
  cp "$program" "$dir/ProcessDrovak"
  pd_env=(HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config")
  mark=$(stat -c %s "$notes")
}
on_failure() {
  [[ -s "${dir:-}/out.log" ]] && sed 's/^/  program: /' "$dir/out.log" | tail -n 20 >&2 || true
  grep -v -i 'xkb\|keycode' "$scratch/kwin.log" | tail -n 5 | sed 's/^/  kwin: /' >&2
}
start_pd() {
  env "${pd_env[@]}" "$dir/ProcessDrovak" >"$dir/out.log" 2>&1 &
  pd=$!
  pids+=("$pd")
  # The first run names the keys KWin binds.
  wait_for 10 "first-run balloon" balloon "Process Drovak 1.3 - Что это?" "Программа поможет"
  tail -c +$((mark + 1)) "$notes" | grep -q "клавиш Ctrl+Alt+End дважды" || fail "the first run does not name Ctrl+Alt+End"
  wait_for 10 "the program's KWin script" script_loaded
}
# A Wayland window, active, $win.
start_window() {
  weston-simple-shm >/dev/null 2>&1 &
  win=$!
  disown
  pids+=("$win")
  wait_for 10 "the window" alive "$win"
  sleep 1  # mapped and activated
}

# ---- Scenarios ----------------------------------------------------------------
scenario_kill() {
  new_folder kill
  start_pd
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
  start_pd
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
  start_pd
  start_window
  kill -TERM "$pd"
  wait_for 10 "end of the program" gone "$pd"
  script_loaded && fail "the script is still loaded after the end"
  double_press
  sleep 0.5
  alive "$win" || fail "a press after the end ended the window"
  [[ ! -e $XDG_RUNTIME_DIR/ProcessDrovak-kwin.js ]] || fail "the script's file was left behind"
}

# Press to gone, the median of PD_KWIN_ROUNDS kills (a figure, not a
# limit), and the idle cost with the script loaded.
scenario_latency() {
  new_folder latency
  start_pd
  local times=() t0 ms
  for _ in $(seq "${PD_KWIN_ROUNDS:-10}"); do
    start_window
    press
    sleep 0.2
    t0=$(date +%s%N)
    press
    wait_for 10 "end of the window's process" gone "$win"
    ms=$((($(date +%s%N) - t0) / 1000000))
    times+=("$ms")
    sleep 1.1  # the press count resets
  done
  echo "   press to gone (ms): ${times[*]}; median $(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((${#times[@]} + 1) / 2))p")"
  echo "   idle with the script loaded: $(idle_cost "$pd")"
}

# latency runs when named.
run_scenarios "$@" -- kill exception exit
