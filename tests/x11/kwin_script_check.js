// Runs the program's KWin script with KWin's scripting objects played, as
// KWin 5 (activeClient, clientActivated) and KWin 6 (activeWindow,
// windowActivated) offer them, and checks what it reports.
//   node kwin_script_check.js SCRIPT SERVICE
// Exits 0 when every check holds; prints the first that does not.
"use strict";
const fs = require("fs");
const vm = require("vm");
const [scriptFile, service] = process.argv.slice(2);
const source = fs.readFileSync(scriptFile, "utf8");

function signal() {
  const handlers = [];
  return { connect: (f) => handlers.push(f), emit: () => handlers.forEach((f) => f()) };
}

function window(fields) {
  return Object.assign({ pid: 4242, normalWindow: true, dialog: false, utility: false, desktopWindow: false,
                         dock: false, resourceClass: "foot" }, fields);
}

// [what, the active window, the pid reported]
const cases = [
  ["a normal window", window({}), "4242"],
  ["no active window", null, "0"],
  ["a dialog", window({ normalWindow: false, dialog: true, pid: 17 }), "17"],
  ["the desktop's background", window({ normalWindow: false, desktopWindow: true }), "0"],
  ["a panel", window({ normalWindow: false, dock: true }), "0"],
  ["a notification", window({ normalWindow: false }), "0"],
  ["the desktop shell's own window", window({ resourceClass: "plasmashell" }), "0"],
  ["a window of another host", window({ localhost: false }), "0"],
  ["a window of this host", window({ localhost: true }), "4242"],
  ["no pid", window({ pid: 0 }), "0"],
  ["a pid of -1", window({ pid: -1 }), "0"],
  ["a pid that is no number", window({ pid: "12x" }), "0"],
];

function run(generation) {
  const calls = [];
  const shortcuts = [];
  const workspace = {};
  const activated = signal();
  if (generation === 6) {
    workspace.activeWindow = null;
    workspace.windowActivated = activated;
  } else {
    workspace.activeClient = null;
    workspace.clientActivated = activated;
  }
  const setActive = (w) => {
    if (generation === 6) workspace.activeWindow = w; else workspace.activeClient = w;
  };
  const context = vm.createContext({
    workspace,
    callDBus: (...args) => calls.push(args),
    registerShortcut: (name, text, keys, callback) => {
      shortcuts.push({ name, text, keys, callback });
      return true;
    },
  });
  vm.runInContext(source, context, { filename: scriptFile });

  const fail = (what) => {
    console.error(`KWin ${generation}: ${what}`);
    process.exit(1);
  };
  if (shortcuts.length !== 1) fail(`${shortcuts.length} shortcuts registered`);
  const [shortcut] = shortcuts;
  if (shortcut.keys !== "Ctrl+Alt+End" || shortcut.name !== "ProcessDrovak") {
    fail(`the shortcut ${shortcut.name} is ${shortcut.keys}`);
  }
  const expectCall = (method, pid, what) => {
    const call = calls.shift();
    const want = [service, "/org/processdrovak/Desktop", "org.processdrovak.Desktop", method, pid];
    if (JSON.stringify(call) !== JSON.stringify(want)) {
      fail(`${what}: called ${JSON.stringify(call)}, not ${JSON.stringify(want)}`);
    }
  };
  expectCall("Active", "0", "at its start");
  for (const [what, active, pid] of cases) {
    setActive(active);
    activated.emit();
    expectCall("Active", pid, `${what}, activated`);
    shortcut.callback();
    expectCall("Chord", pid, `${what}, pressed`);
  }
  if (calls.length !== 0) fail(`calls left over: ${JSON.stringify(calls)}`);
}

run(5);
run(6);
