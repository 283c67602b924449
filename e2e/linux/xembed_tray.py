#!/usr/bin/python3
"""A small XEmbed system tray manager, as Debian 12 has none to run headless: it owns the
screen's tray selection, announces itself, and docks every icon that asks, in a row in a
window of its own at the bottom left of the screen. It says on stdout what it docks and
what leaves. Ends on SIGTERM.

usage: xembed_tray.py   (DISPLAY: the X display)
"""

import signal
import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event

ICON = 24
REQUEST_DOCK = 0
XEMBED_EMBEDDED_NOTIFY = 0


def say(text):
    print(text, flush=True)


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    d = display.Display()
    screen = d.screen()
    root = screen.root
    selection = d.intern_atom(f"_NET_SYSTEM_TRAY_S{d.get_default_screen()}")
    opcode = d.intern_atom("_NET_SYSTEM_TRAY_OPCODE")
    xembed = d.intern_atom("_XEMBED")
    manager = d.intern_atom("MANAGER")
    orientation = d.intern_atom("_NET_SYSTEM_TRAY_ORIENTATION")

    height = screen.height_in_pixels
    tray = root.create_window(0, height - ICON - 8, 8 * (ICON + 4), ICON + 8, 0, screen.root_depth,
                              background_pixel=0x303030, override_redirect=True,
                              event_mask=X.SubstructureNotifyMask | X.StructureNotifyMask)
    tray.set_wm_name("xembed-tray")
    tray.change_property(orientation, Xatom.CARDINAL, 32, [0])  # horizontal
    tray.map()
    tray.set_selection_owner(selection, X.CurrentTime)
    d.sync()
    if d.get_selection_owner(selection) != tray:
        say("could not own the tray selection")
        return 1
    root.send_event(event.ClientMessage(window=root, client_type=manager,
                                        data=(32, [X.CurrentTime, selection, tray.id, 0, 0])),
                    event_mask=X.StructureNotifyMask)
    d.flush()
    say(f"tray 0x{tray.id:x}")

    docked = []
    while True:
        e = d.next_event()
        if e.type == X.ClientMessage and e.client_type == opcode:
            fmt, data = e.data
            if data[1] != REQUEST_DOCK:
                continue
            icon = d.create_resource_object("window", data[2])
            icon.reparent(tray, 4 + len(docked) * (ICON + 4), 4)
            icon.configure(width=ICON, height=ICON)
            icon.send_event(event.ClientMessage(
                window=icon, client_type=xembed,
                data=(32, [X.CurrentTime, XEMBED_EMBEDDED_NOTIFY, 0, tray.id, 0])))
            icon.map()
            d.flush()
            docked.append(icon.id)
            say(f"docked 0x{icon.id:x}")
        elif e.type in (X.DestroyNotify, X.UnmapNotify, X.ReparentNotify):
            gone = e.window.id
            if gone in docked and (e.type != X.ReparentNotify or e.parent.id != tray.id):
                docked.remove(gone)
                say(f"left 0x{gone:x}")


if __name__ == "__main__":
    sys.exit(main())
