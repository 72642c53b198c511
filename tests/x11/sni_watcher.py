#!/usr/bin/python3
"""A minimal StatusNotifierWatcher for the tray tests (session bus).

Owns org.kde.StatusNotifierWatcher, keeps the registered items, drops an
item whose name goes away, and for each item that registers prints
"registered NAME", then its title and tooltip title as read through
Properties.Get ("title TEXT", "tooltip TEXT", "pixmaps N"), then calls
Activate(0, 0) on it and prints "activated" (or "failed ERROR"). Lines go
to stdout, flushed, one at a time. With --no-activate it only prints
"registered NAME" (for timing the icon's arrival).
"""
import sys

from gi.repository import Gio, GLib

XML = """
<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
</interface></node>"""

items = []


def say(line):
    print(line, flush=True)


def get(bus, name, prop):
    reply = bus.call_sync(name, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                          GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", prop)),
                          None, Gio.DBusCallFlags.NONE, 2000, None)
    return reply.unpack()[0]


def probe(bus, name):
    if "--no-activate" in sys.argv:
        return False
    try:
        say("title " + get(bus, name, "Title"))
        say("tooltip " + get(bus, name, "ToolTip")[2])
        say("pixmaps %d" % len(get(bus, name, "IconPixmap")))
        bus.call_sync(name, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate",
                      GLib.Variant("(ii)", (0, 0)), None, Gio.DBusCallFlags.NONE, 2000, None)
        say("activated")
    except GLib.Error as e:
        say("failed " + e.message)
    return False


def on_call(bus, sender, path, iface, method, params, invocation):
    if method == "RegisterStatusNotifierItem":
        name = params.unpack()[0]
        if not name.startswith(":") and not name.startswith("org."):
            name = sender
        items.append(name)
        invocation.return_value(None)
        bus.emit_signal(None, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                        "StatusNotifierItemRegistered", GLib.Variant("(s)", (name,)))
        say("registered " + name)

        def vanished(_bus, _name):
            if name in items:
                items.remove(name)
                say("unregistered " + name)

        Gio.bus_watch_name_on_connection(bus, name, Gio.BusNameWatcherFlags.NONE, None, vanished)
        GLib.timeout_add(100, probe, bus, name)
    else:
        invocation.return_value(None)


def on_get(bus, sender, path, iface, prop):
    if prop == "RegisteredStatusNotifierItems":
        return GLib.Variant("as", items)
    if prop == "IsStatusNotifierHostRegistered":
        return GLib.Variant("b", True)
    return GLib.Variant("i", 0)


def on_bus(bus, name):
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    bus.register_object("/StatusNotifierWatcher", info, on_call, on_get, None)


def main():
    loop = GLib.MainLoop()
    Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.StatusNotifierWatcher", Gio.BusNameOwnerFlags.NONE,
                     on_bus, lambda *_: say("owned"), lambda *_: (say("lost"), loop.quit()))
    loop.run()


if __name__ == "__main__":
    sys.exit(main())
