#!/usr/bin/python3
"""zanto on a Linux desktop, end to end, headless.

Runs inside the private session bus that run.sh makes, starts every service of a small
desktop itself (Xvfb, the accessibility bus, a StatusNotifierWatcher, two tray hosts, the
notification server dunst, a stand-in for GNOME's session manager, a stand-in XEmbed
tray manager, and weston for a Wayland session), runs the real zanto and checks through D-Bus, X and the accessibility tree
what a user would see. The bus starts zanto itself where a launcher asks it to (the
program's D-Bus service file, in a service directory of the test's own).

usage: zanto_e2e.py BUILD_DIR OUT_DIR
"""

import ctypes
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"
NOTIFICATIONS = "org.freedesktop.Notifications"
PROPS = "org.freedesktop.DBus.Properties"
MANAGER = "org.gnome.SessionManager"
CLIENT_IFACE = "org.gnome.SessionManager.ClientPrivate"
APP_ID = "org.example.zanto.Zanto"
APP_PATH = "/org/example/zanto/Zanto"
APP_IFACE = "org.freedesktop.Application"
ICON_YELLOW = "#FFD75E"
MENU_LABELS = ["_Tell me more, Zanto!", None, "_Settings...", "About _Zanto...", "E_xit"]


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


def die_with_parent():
    # A service must not outlive the test, however the test ends.
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


# ---------------------------------------------------------------------------------------
# Services, each stopped by its PID, last started first.


class Services:
    def __init__(self, out):
        self.out = out
        self.running = []  # (name, Popen)

    def start(self, name, argv, env=None, **kwargs):
        logfile = open(os.path.join(self.out, f"{name}.log"), "w")
        proc = subprocess.Popen(argv, env=env, stdout=logfile, stderr=subprocess.STDOUT,
                                preexec_fn=die_with_parent, **kwargs)
        self.running.append((name, proc))
        return proc

    def stop(self, proc, timeout=5.0):
        for i, (name, p) in enumerate(self.running):
            if p is proc:
                del self.running[i]
                break
        if proc.poll() is None:
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(5)
        return proc.returncode

    def stop_all(self):
        while self.running:
            self.stop(self.running[-1][1])


# ---------------------------------------------------------------------------------------
# Waiting: every wait is bounded, and the bus keeps being served while it lasts.


def pump(seconds=0.0):
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if time.monotonic() >= end:
            return
        time.sleep(0.01)


def wait_until(what, predicate, timeout):
    end = time.monotonic() + timeout
    while True:
        pump()
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"{what}: not within {timeout:g} s")
        time.sleep(0.03)


def hold(what, predicate, seconds):
    """What must stay so, watched for the whole time and failed as soon as it is not: a thing
    that must not happen cannot pass for not having happened yet."""
    start = time.monotonic()
    while True:
        pump()
        if not predicate():
            raise Failure(f"{what}: no longer so after {time.monotonic() - start:.2f} s")
        if time.monotonic() - start >= seconds:
            return
        time.sleep(0.03)


# ---------------------------------------------------------------------------------------
# The bus: calls, and a monitor that keeps what crossed it.


class Bus:
    def __init__(self):
        self.conn = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def call(self, dest, path, iface, method, args=None, sig=None, timeout=3000, start=False):
        """start: let the bus start the service for the call, as a launcher does."""
        params = GLib.Variant(sig, args) if sig else None
        flags = Gio.DBusCallFlags.NONE if start else Gio.DBusCallFlags.NO_AUTO_START
        reply = self.conn.call_sync(dest, path, iface, method, params, None, flags, timeout, None)
        return reply.unpack() if reply else None

    def pid(self, name):
        """The process that owns a name, or None."""
        owner = self.owner(name)
        return owner and self.try_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                                       (owner[0],), "(s)")[0]

    def try_call(self, *args, **kwargs):
        try:
            return self.call(*args, **kwargs)
        except GLib.Error:
            return None

    def owner(self, name):
        return self.try_call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                             "GetNameOwner", (name,), "(s)")

    def prop(self, dest, path, iface, name):
        return self.call(dest, path, PROPS, "Get", (iface, name), "(ss)")[0]

    def all_props(self, dest, path, iface):
        return self.call(dest, path, PROPS, "GetAll", (iface,), "(s)")[0]

    def request_name(self, name):
        result = self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "RequestName", (name, 4), "(su)")[0]
        if result != 1:
            raise Failure(f"could not own {name}")


class Message:
    def __init__(self, when, kind, sender, path, iface, member, body):
        self.when, self.kind, self.sender = when, kind, sender
        self.path, self.iface, self.member, self.body = path, iface, member, body

    def __repr__(self):
        return f"{self.kind} {self.sender} {self.iface}.{self.member}{self.body!r}"


class Monitor:
    """Everything on the bus that concerns the test, with the moment it was seen."""

    RULES = [f"interface='{NOTIFICATIONS}'", f"interface='{WATCHER}'",
             f"interface='{MENU_IFACE}'", f"interface='{ITEM_IFACE}'", f"interface='{CLIENT_IFACE}'",
             f"interface='{MANAGER}'", f"interface='{APP_IFACE}'"]

    def __init__(self):
        address = os.environ["DBUS_SESSION_BUS_ADDRESS"]
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                 | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.conn = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
        self.lock = threading.Lock()
        self.messages = []
        self.active = False
        self.conn.add_filter(self._filter)
        self.conn.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus.Monitoring", "BecomeMonitor",
                            GLib.Variant("(asu)", (self.RULES, 0)), None, 0, 5000, None)
        self.active = True

    def _filter(self, conn, message, incoming):
        if not incoming:
            return message
        kind = message.get_message_type()
        if not self.active and kind in (Gio.DBusMessageType.METHOD_RETURN,
                                        Gio.DBusMessageType.ERROR):
            return message  # the answer to BecomeMonitor itself
        if kind in (Gio.DBusMessageType.METHOD_CALL, Gio.DBusMessageType.SIGNAL):
            body = message.get_body()
            record = Message(time.monotonic(),
                             "call" if kind == Gio.DBusMessageType.METHOD_CALL else "signal",
                             message.get_sender(), message.get_path(), message.get_interface(),
                             message.get_member(), body.unpack() if body else ())
            with self.lock:
                self.messages.append(record)
        return None  # a monitor never answers

    def find(self, member, since=0.0, kind=None, sender=None, where=None):
        """Messages by member; `sender` is a set of unique names."""
        with self.lock:
            found = [m for m in self.messages
                     if m.member == member and m.when >= since and (kind is None or m.kind == kind)
                     and (sender is None or m.sender in sender) and (where is None or where(m))]
        return found

    def wait(self, what, member, timeout, **kwargs):
        return wait_until(what, lambda: (self.find(member, **kwargs) or [None])[0], timeout)


# ---------------------------------------------------------------------------------------
# Stand-ins: a tray host, and GNOME's session manager.

SESSION_MANAGER_XML = f"""<node>
<interface name="{MANAGER}">
  <method name="RegisterClient"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="o" direction="out"/></method>
  <method name="UnregisterClient"><arg type="o" direction="in"/></method>
</interface>
<interface name="{CLIENT_IFACE}">
  <method name="EndSessionResponse"><arg type="b" direction="in"/><arg type="s" direction="in"/></method>
  <signal name="Stop"/>
  <signal name="QueryEndSession"><arg type="u"/></signal>
  <signal name="EndSession"><arg type="u"/></signal>
  <signal name="CancelEndSession"/>
</interface>
</node>"""


class HostStandIn:
    """A tray host as far as the watcher sees one: it registers, and again with a new
    watcher. What it shows the test reads from the bus."""

    def __init__(self, bus):
        self.bus = bus
        self.name = f"org.kde.StatusNotifierHost-{os.getpid()}"
        bus.request_name(self.name)
        self.subscription = bus.conn.signal_subscribe(
            "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
            "/org/freedesktop/DBus", WATCHER, Gio.DBusSignalFlags.NONE, self._watcher_changed)
        self.register()

    def register(self):
        self.bus.call(WATCHER, WATCHER_PATH, WATCHER, "RegisterStatusNotifierHost", (self.name,), "(s)")

    def _watcher_changed(self, conn, sender, path, iface, signal_name, params):
        if params.unpack()[2]:
            # A new watcher may need a moment before its object answers.
            GLib.timeout_add(200, self._register_later, 10)

    def _register_later(self, tries):
        try:
            self.register()
        except GLib.Error:
            if tries > 0:
                GLib.timeout_add(200, self._register_later, tries - 1)
        return False

    def items(self):
        try:
            return self.bus.prop(WATCHER, WATCHER_PATH, WATCHER, "RegisteredStatusNotifierItems")
        except GLib.Error:
            return []


class SessionManagerStandIn:
    """GNOME's session manager as far as a client sees it: a client object for every
    program that registers, and the session's end announced on it."""

    def __init__(self, bus):
        self.bus = bus
        self.clients = {}  # app id -> client object path
        self.responses = {}  # client object path -> [(ok, reason)]
        self.node = Gio.DBusNodeInfo.new_for_xml(SESSION_MANAGER_XML)
        self.objects = [bus.conn.register_object("/org/gnome/SessionManager",
                                                 self.node.interfaces[0], self._call, None, None)]
        bus.request_name(MANAGER)

    def _call(self, conn, sender, path, iface, method, params, invocation):
        if method == "RegisterClient":
            app_id = params.unpack()[0]
            client = f"/org/gnome/SessionManager/Client{len(self.objects)}"
            self.objects.append(conn.register_object(client, self.node.interfaces[1], self._call,
                                                     None, None))
            self.clients[app_id] = client
            invocation.return_value(GLib.Variant("(o)", (client,)))
        elif method == "EndSessionResponse":
            self.responses.setdefault(path, []).append(tuple(params.unpack()))
            invocation.return_value(None)
        else:
            invocation.return_value(None)

    def answers(self, app_id):
        return self.responses.get(self.clients.get(app_id), [])

    def emit(self, app_id, name, args=None, sig=None):
        self.bus.conn.emit_signal(None, self.clients[app_id], CLIENT_IFACE, name,
                                  GLib.Variant(sig, args) if sig else None)

    def close(self):
        for obj in self.objects:
            self.bus.conn.unregister_object(obj)
        self.bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "ReleaseName", (MANAGER,), "(s)")


# ---------------------------------------------------------------------------------------
# The X display: windows, screenshots, input.


class BusStarted:
    """A process the bus started, watched as far as its PID allows: the bus, not the test,
    is its parent."""

    def __init__(self, pid):
        self.pid = pid
        self.returncode = None

    def poll(self):
        try:
            with open(f"/proc/{self.pid}/stat") as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            state = "gone"
        return None if state not in ("Z", "X", "gone") else 0

    def send_signal(self, sig):
        if self.poll() is None:
            os.kill(self.pid, sig)

    def wait(self, timeout):
        wait_until(f"process {self.pid} ends", lambda: self.poll() is not None, timeout)

    def kill(self):
        self.send_signal(signal.SIGKILL)


def run(*argv, check=True):
    result = subprocess.run(argv, capture_output=True, text=True, timeout=20)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(argv)}: {result.stderr.strip()}")
    return result.stdout.strip()


def windows(name=None, cls=None):
    argv = ["xdotool", "search", "--onlyvisible"]
    argv += ["--class", cls] if cls else ["--name", name]
    return run(*argv, check=False).split()


def geometry(window):
    info = run("xwininfo", "-id", window)
    get = lambda key: int(re.search(rf"{key}:\s+(-?\d+)", info).group(1))  # noqa: E731
    return get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"), get("Height")


def viewable(window):
    return "IsViewable" in run("xwininfo", "-id", window, check=False)


def screenshot(path, window="root", crop=None):
    argv = ["import", "-window", window]
    if crop:
        x, y, w, h = crop
        argv += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
    run(*argv, path)


def find_colour(path, colour, region):
    """The bounding box of a colour inside a region of a screenshot."""
    x, y, w, h = region
    box = run("convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-fuzz", "12%", "-fill",
              "black", "+opaque", colour, "-format", "%@", "info:")
    m = re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", box)
    if not m or int(m.group(1)) >= w:
        return None
    bw, bh, bx, by = map(int, m.groups())
    return x + bx, y + by, bw, bh


# ---------------------------------------------------------------------------------------
# The accessibility tree: which page of the settings window a user sees.


class Accessibility:
    def __init__(self):
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
        self.Atspi = Atspi

    def app(self, name):
        desktop = self.Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            child = desktop.get_child_at_index(i)
            if child and child.get_name() == name:
                return child
        return None

    def nodes(self, root):
        stack = [root]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            yield node
            # Children in their order: the last pushed is the first taken.
            stack.extend(node.get_child_at_index(i)
                         for i in reversed(range(node.get_child_count())))

    def shown_texts(self, app_name):
        """The labels and rows a user can see now, and every list row there is."""
        app = self.app(app_name)
        if not app:
            return None
        app.clear_cache()
        showing, rows = set(), []
        for node in self.nodes(app):
            role = node.get_role_name()
            if role in ("label", "page tab", "push button", "table cell"):
                if node.get_state_set().contains(self.Atspi.StateType.SHOWING):
                    showing.add(node.get_name())
            if role == "table cell":
                rows.append(node.get_name())
        return showing, rows

    def focused(self, app_name):
        """The roles of what says it has the focus: a control, and the item within it."""
        app = self.app(app_name)
        if not app:
            return set()
        app.clear_cache()
        return {node.get_role_name() for node in self.nodes(app)
                if node.get_state_set().contains(self.Atspi.StateType.FOCUSED)}

    def extents(self, app_name, role, name=None):
        """Where on the screen a control is: x, y, width, height."""
        app = self.app(app_name)
        if app:
            app.clear_cache()
        for node in self.nodes(app) if app else ():
            if node.get_role_name() == role and name in (None, node.get_name()):
                box = node.get_extents(self.Atspi.CoordType.SCREEN)
                return box.x, box.y, box.width, box.height
        return None

    def centre(self, app_name, role, name):
        box = self.extents(app_name, role, name)
        return box and (box[0] + box[2] // 2, box[1] + box[3] // 2)


# ---------------------------------------------------------------------------------------
# The test.


# ---------------------------------------------------------------------------------------
# A run of checks, counted as TAP lines; the first failed check ends it.


class Checks:
    def __init__(self, out, scratch_prefix):
        self.out = out
        self.services = Services(out)
        self.passed = 0
        self.work = tempfile.mkdtemp(prefix=scratch_prefix)

    def ok(self, text):
        self.passed += 1
        log(f"ok {self.passed} - {text}")

    def check(self, condition, text):
        if not condition:
            raise Failure(text)
        self.ok(text)

    def start_xvfb(self):
        """A private X server, made the DISPLAY of everything started after it."""
        read, write = os.pipe()
        # No reset when the last client leaves: the next one would find the display gone.
        self.services.start("xvfb", ["Xvfb", "-displayfd", str(write), "-screen", "0",
                                     "1280x800x24", "-nolisten", "tcp", "-noreset"],
                            pass_fds=[write])
        os.close(write)
        ready = []
        threading.Thread(target=lambda: ready.append(os.read(read, 16)), daemon=True).start()
        display = wait_until("Xvfb tells its display", lambda: ready and ready[0], 15)
        os.close(read)
        os.environ["DISPLAY"] = ":" + display.decode().strip()


def run_checks(test, shown_out):
    """Runs test.run() to its end or its first failure, the screen of a failure saved, every
    service stopped; the exit status. shown_out: OUT_DIR as the closing lines name it."""
    # Ended from outside (the script's time limit): stop the services first.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(Failure("stopped from outside")))
    failed = 0
    try:
        test.run()
    except Failure as e:
        failed = 1
        log(f"not ok {test.passed + 1} - {e}")
        try:
            screenshot(os.path.join(test.out, "failure.png"))
            log(f"   (the screen: {shown_out}/failure.png; the services' output: {shown_out}/*.log)")
        except Exception:  # noqa: BLE001 - the display may be gone too
            pass
    finally:
        test.services.stop_all()
        shutil.rmtree(test.work, ignore_errors=True)
    return failed


class Test(Checks):
    def __init__(self, build, out):
        super().__init__(out, "zanto-e2e-")
        self.build = build
        self.zanto = None
        with open(os.path.join(build, "quotes.txt"), encoding="utf-8", errors="replace") as f:
            self.quotes = f.read().splitlines()

    # -- the desktop ----------------------------------------------------------------------

    def start_desktop(self):
        self.start_xvfb()
        wait_until("the display answers", lambda: subprocess.run(
            ["xdpyinfo"], capture_output=True).returncode == 0, 10)
        # A window manager, for what a user does with the window's frame.
        self.services.start("openbox", ["openbox", "--sm-disable"])
        wait_until("the window manager", lambda: subprocess.run(
            ["wmctrl", "-m"], capture_output=True).returncode == 0, 10)
        self.ok(f"Xvfb on {os.environ['DISPLAY']} with openbox")

        self.bus = Bus()
        self.monitor = Monitor()
        self.services.start("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher"])
        wait_until("the accessibility bus", lambda: self.bus.owner("org.a11y.Bus"), 10)
        self.watcher = self.start_watcher()
        self.host = HostStandIn(self.bus)
        self.gtk_tray = self.services.start(
            "gtk-sni-tray", ["gtk-sni-tray-standalone", "--bottom", "--end", "--size", "28"])
        self.tray_bar = wait_until("gtk-sni-tray's bar", lambda: (windows(name="^gtk-sni-tray") or
                                                                   [None])[0], 15)
        wait_until("both hosts registered", lambda: len(self.monitor.find(
            "RegisterStatusNotifierHost", kind="call")) >= 2, 15)
        self.dunst = self.start_dunst()
        self.ok("status-notifier-watcher, two tray hosts (a stand-in and gtk-sni-tray), dunst")
        self.a11y = Accessibility()

    def start_dunst(self):
        proc = self.services.start("dunst", ["dunst", "-config", os.path.join(HERE, "dunstrc")])
        wait_until("dunst on the bus", lambda: self.bus.owner(NOTIFICATIONS), 15)
        return proc

    def start_watcher(self):
        proc = self.services.start("watcher", ["status-notifier-watcher"])
        wait_until("the watcher answers", lambda: self.bus.try_call(
            WATCHER, WATCHER_PATH, PROPS, "Get", (WATCHER, "ProtocolVersion"), "(ss)"), 15)
        return proc

    # -- zanto ----------------------------------------------------------------------------

    def zanto_env(self):
        # A configuration folder of its own, with no quotes file in it: the one of whoever
        # runs the test must not take the place of the build's.
        return dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                    XDG_CONFIG_HOME=os.path.join(self.work, "config"))

    def start_zanto(self, tag, folder=None, registered=True, env=None):
        """zanto of the build, or a copy of it in a folder of its own; registered: wait for
        its icon at the watcher; env: the environment, if not zanto_env()."""
        exe = os.path.join(self.build, "zanto")
        if folder:
            shutil.copy2(exe, folder)
            exe = os.path.join(folder, "zanto")
        self.started = time.monotonic()
        self.zanto = self.services.start(f"zanto-{tag}", [exe], env=env or self.zanto_env(),
                                         cwd="/")
        if not registered:
            return None
        prefix = f"org.kde.StatusNotifierItem-{self.zanto.pid}-"
        item = wait_until("zanto's icon registered with the watcher",
                          lambda: next((i for i in self.host.items() if i.startswith(prefix)),
                                       None), 10)
        return item

    def folder(self, name):
        path = os.path.join(self.work, name)
        os.makedirs(path)
        return path

    def zanto_items(self):
        prefix = f"org.kde.StatusNotifierItem-{self.zanto.pid}-"
        return [i for i in self.host.items() if i.startswith(prefix)]

    def zanto_sender(self):
        """The bus connections of the running zanto."""
        names = self.bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "ListNames")[0]
        mine = set()
        for name in names:
            if not name.startswith(":"):
                continue
            pid = self.bus.try_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                                    (name,), "(s)")
            if pid and pid[0] == self.zanto.pid:
                mine.add(name)
        return mine

    def menu(self, item):
        revision, layout = self.bus.call(item, "/MenuBar", MENU_IFACE, "GetLayout", (0, -1, []),
                                         "(iias)")
        entries = []
        for child in layout[2]:
            ident, props = child[0], child[1]
            entries.append((ident, None if props.get("type") == "separator" else props.get("label")))
        return entries

    def click_menu(self, item, label):
        ident = next(i for i, text in self.menu(item) if text == label)
        self.bus.call(item, "/MenuBar", MENU_IFACE, "Event",
                      (ident, "clicked", GLib.Variant("i", 0), 0), "(isvu)")

    def notifications(self, since, sender=None):
        return self.monitor.find("Notify", since=since, kind="call", sender=sender)

    def displayed(self):
        return self.bus.prop(NOTIFICATIONS, "/org/freedesktop/Notifications",
                             "org.dunstproject.cmd0", "displayedLength")

    def settings_window(self):
        return (windows(name=r"^Zanto\|Settings\.\.\.$") or [None])[0]

    def in_taskbar(self):
        """Whether the window manager lists the window, as a taskbar would show it."""
        return any(line.endswith("Zanto|Settings...") for line in
                   run("wmctrl", "-l", check=False).splitlines())

    def page_shown(self, marker, others):
        texts = self.a11y.shown_texts("zanto")
        if not texts:
            return False
        showing, _ = texts
        return marker in showing and not (showing & set(others))

    # -- the checks -----------------------------------------------------------------------

    def run(self):
        general = "Sorry, no options implemented at the moment. Hey, this is just a beta! :)"
        motto = "Zanto Velmar does not sleep. He waits."
        self.start_desktop()

        # The icon and its menu.
        item = self.start_zanto("main")
        registered = time.monotonic() - self.started
        self.ok(f"the icon is registered with the watcher as {item} ({registered:.2f} s after start)")
        props = self.bus.all_props(item, "/StatusNotifierItem", ITEM_IFACE)
        self.check(props["Title"] == "Zanto" and props["Id"] == "zanto"
                   and props["Status"] == "Active" and props["Category"] == "ApplicationStatus",
                   "the item is titled Zanto, active, an application's status")
        sizes = sorted(w for w, h, data in props["IconPixmap"] if len(data) == w * h * 4 and w == h)
        self.check(sizes == [16, 32, 64], f"the icon comes in {sizes} pixels")
        self.check(props["ToolTip"][2] == "" and props["ToolTip"][3] == "",
                   "the tip is the program's hint, which is empty")
        self.check(props["Menu"] == "/MenuBar" and not props["ItemIsMenu"],
                   "the item exports its menu and takes clicks of its own")
        labels = [text for _, text in self.menu(item)]
        self.check(labels == MENU_LABELS, f"the exported menu is {labels}")

        # The icon as the real host shows it.
        bar = geometry(self.tray_bar)
        screenshot(os.path.join(self.out, "screen.png"))
        icon = wait_until("the icon in gtk-sni-tray's bar", lambda: screenshot(
            os.path.join(self.out, "screen.png")) or find_colour(
            os.path.join(self.out, "screen.png"), ICON_YELLOW, bar), 10)
        screenshot(os.path.join(self.out, "tray.png"), crop=(bar[0] + bar[2] - 200, bar[1], 200,
                                                              bar[3]))
        self.ok(f"gtk-sni-tray shows the icon at {icon[0]},{icon[1]} ({icon[2]}x{icon[3]})")
        icon_centre = (icon[0] + icon[2] // 2, icon[1] + icon[3] // 2)

        # The first quote, one second after start.
        sender = self.zanto_sender()
        first = self.monitor.wait("the first quote", "Notify", 5, since=self.started, kind="call",
                                  sender=sender)
        registration = self.monitor.find("RegisterStatusNotifierItem", kind="call", sender=sender)
        after = first.when - (registration[0].when if registration else self.started)
        app, replaces, app_icon, summary, body, actions, hints, timeout = first.body
        self.check(0.9 <= after <= 1.6,
                   f"the first quote comes {after:.2f} s after the icon "
                   f"({first.when - self.started:.2f} s after the process started)")
        self.check(summary == "Did you know?" and body in self.quotes and app == "Zanto",
                   f"it says \"Did you know?\" with a quote of quotes.txt: {body!r}")
        self.check(app_icon == "dialog-information" and timeout == 10000 and "default" in actions[::2],
                   "with the information icon, a 10-second time-out and a default action")
        wait_until("dunst shows it", lambda: self.displayed() == 1, 3)
        pump(0.3)
        dunst = wait_until("dunst's window", lambda: (windows(cls="Dunst") or [None])[0], 5)
        screenshot(os.path.join(self.out, "notification.png"))
        screenshot(os.path.join(self.out, "notification-close.png"), crop=geometry(dunst))
        self.ok("dunst shows the notification (out/linux/notification.png)")

        # A click on it: the program withdraws it.
        x, y, w, h = geometry(dunst)
        clicked_at = time.monotonic()
        run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1")
        invoked = self.monitor.wait("the click reaches the program", "ActionInvoked", 3,
                                    since=clicked_at, kind="signal")
        closed = self.monitor.wait("the program closes the clicked notification",
                                   "CloseNotification", 3, since=clicked_at, kind="call",
                                   sender=sender)
        self.check(invoked.body[1] == "default" and closed.body[0] == invoked.body[0],
                   "a click on the notification invokes its default action and the program "
                   "withdraws it")
        wait_until("the notification is gone", lambda: self.displayed() == 0, 3)
        self.check(self.zanto.poll() is None, "the program goes on")

        # The real host's menu: Tell me more.
        run("xdotool", "mousemove", str(icon_centre[0]), str(icon_centre[1]), "click", "3")
        menu_window = wait_until("gtk-sni-tray's menu", lambda: next(
            (w for w in windows(name="^gtk-sni-tray") if w != self.tray_bar
             and geometry(w)[3] > 60), None), 5)
        pump(0.5)
        screenshot(os.path.join(self.out, "menu.png"))
        mx, my, mw, mh = geometry(menu_window)
        screenshot(os.path.join(self.out, "menu-close.png"),
                   crop=(max(0, mx - 20), max(0, my - 20), mw + 40, mh + 60))
        self.ok(f"a right click in gtk-sni-tray opens the menu ({mw}x{mh}, out/linux/menu.png)")
        told = time.monotonic()
        run("xdotool", "key", "t")
        second = self.monitor.wait("Tell me more shows a quote", "Notify", 3, since=told,
                                   kind="call", sender=sender)
        self.check(second.when - told < 1.0 and second.body[3] == "Did you know?",
                   f"Tell me more, Zanto! shows the next quote at once ({second.when - told:.2f} s):"
                   f" {second.body[4]!r}")
        wait_until("dunst shows it", lambda: self.displayed() == 1, 3)

        # Settings: the window on its General page.
        self.click_menu(item, "_Settings...")
        window = wait_until("the settings window", self.settings_window, 5)
        wait_until("the General page shows",
                   lambda: self.page_shown(general, [motto]), 5)
        pump(0.3)
        screenshot(os.path.join(self.out, "settings.png"), window=window)
        _, rows = self.a11y.shown_texts("zanto")
        self.check(rows == self.quotes, f"Settings... shows the window on its General page; the "
                                        f"Quotes page lists the {len(rows)} lines of quotes.txt")
        self.check(self.in_taskbar(), "the window has its taskbar entry")
        screenshot(os.path.join(self.out, "desktop.png"))
        # The Quotes tab, clicked.
        tab = self.a11y.centre("zanto", "page tab", "Quotes")
        run("xdotool", "mousemove", str(tab[0]), str(tab[1]), "click", "1")
        wait_until("the Quotes page shows", lambda: self.page_shown(self.quotes[0], [general]), 5)
        pump(0.3)
        screenshot(os.path.join(self.out, "quotes.png"), window=window)
        self.ok("a click on the Quotes tab shows the quotes (out/linux/quotes.png)")
        # Enter in the list, which has no use for it, presses OK: back to the tray.
        run("xdotool", "windowactivate", "--sync", window)
        row = self.a11y.centre("zanto", "table cell", self.quotes[0])
        run("xdotool", "mousemove", str(row[0]), str(row[1]), "click", "1")
        # The quote list is a tree to the accessibility tree, its rows are table cells.
        wait_until("the quote list takes the focus",
                   lambda: "tree" in self.a11y.focused("zanto"), 5)
        run("xdotool", "key", "Return")
        wait_until("OK hides the window", lambda: not viewable(window), 5)
        self.check(self.zanto_items() != [] and self.zanto.poll() is None
                   and not self.in_taskbar(),
                   "Enter in the quote list presses OK: the window goes back to the tray with "
                   "its taskbar entry; the icon stays")

        # The frame's minimise and close buttons send it back to the tray too.
        for action, what in ((["xdotool", "windowminimize"], "minimise button"),
                             (["wmctrl", "-i", "-c"], "close box")):
            self.click_menu(item, "_Settings...")
            window = wait_until("the settings window", self.settings_window, 5)
            wait_until("its taskbar entry", self.in_taskbar, 5)
            pump(0.3)
            run(*action, window)
            wait_until(f"the {what} hides the window and its taskbar entry",
                       lambda: not viewable(window) and not self.in_taskbar(), 5)
            hold(f"after the {what}, the window stays in the tray and the program goes on",
                 lambda: not viewable(window) and not self.in_taskbar() and self.zanto_items()
                 and self.zanto.poll() is None, 1)
            self.ok(f"the window's {what} sends it back to the tray; the program goes on")

        # About: the window on its About page.
        self.click_menu(item, "About _Zanto...")
        window = wait_until("the settings window again", self.settings_window, 5)
        wait_until("the About page shows", lambda: self.page_shown(motto, [general]), 5)
        pump(0.3)
        screenshot(os.path.join(self.out, "about.png"), window=window)
        self.ok("About Zanto... shows the window on its About page (out/linux/about.png)")
        run("xdotool", "windowactivate", "--sync", window)
        run("xdotool", "key", "Escape")
        hold("Escape does nothing", lambda: viewable(window) and self.in_taskbar(), 1)
        self.ok("Escape does nothing: the window stays, with its taskbar entry")

        # Resizing keeps the buttons at the bottom right and stretches the pages.
        def layout():
            wx, wy, ww, wh = geometry(window)
            ok = self.a11y.extents("zanto", "push button", "OK")
            tabs = self.a11y.extents("zanto", "layered pane")  # the pages
            return (wx + ww - ok[0], wy + wh - ok[1]), tabs[2], (ww, wh)
        before = layout()
        run("xdotool", "windowsize", window, str(before[2][0] + 160), str(before[2][1] + 90))
        wait_until("the window grows", lambda: geometry(window)[2:] != before[2], 5)
        seen = [before]

        def laid_out():
            seen[0] = now = layout()
            return now[2] != before[2] and now[0] == before[0] and \
                now[1] - before[1] == now[2][0] - before[2][0]
        try:
            wait_until("the layout follows the resize", laid_out, 5)
        except Failure:
            raise Failure(f"resized from {before[2]} to {seen[0][2]}: OK is {seen[0][0]} from the "
                          f"bottom right corner (was {before[0]}), the pages {seen[0][1]} wide "
                          f"(were {before[1]})") from None
        after = seen[0]
        screenshot(os.path.join(self.out, "resized.png"), window=window)
        self.ok(f"resized from {before[2]} to {after[2]}: OK keeps its place at the bottom "
                f"right, the pages stretch by as much (out/linux/resized.png)")

        # A left click on the icon does nothing here.
        activated = time.monotonic()
        run("xdotool", "mousemove", str(icon_centre[0]), str(icon_centre[1]), "click", "1")
        self.monitor.wait("the host's Activate", "Activate", 3, since=activated, kind="call")
        hold("a left click on the icon changes nothing",
             lambda: viewable(window) and self.page_shown(motto, [general]) and
             not self.notifications(activated, sender), 1)
        self.ok("a left click on the icon changes nothing")

        # The quote of Tell me more expires on its own.
        expired = self.monitor.wait("the quote expires", "NotificationClosed", 13, since=told,
                                    kind="signal")
        self.check(expired.body[1] == 1 and 9.5 <= expired.when - second.when <= 12,
                   f"the quote expires after {expired.when - second.when:.1f} s")
        wait_until("the notification is gone", lambda: self.displayed() == 0, 3)

        # A host that leaves the menu to the program: the program's own menu at the pointer.
        self.bus.call(item, "/StatusNotifierItem", ITEM_IFACE, "ContextMenu", (640, 400), "(ii)")
        popup = wait_until("the program's menu at 640,400", lambda: next(
            (w for w in windows(cls="zanto") if geometry(w)[:2] == (640, 400)), None), 5)
        pump(0.3)
        screenshot(os.path.join(self.out, "program-menu.png"), window=popup)
        asked = time.monotonic()
        run("xdotool", "key", "t")
        third = self.monitor.wait("its Tell me more shows a quote", "Notify", 3, since=asked,
                                  kind="call", sender=sender)
        self.check(third.body[3] == "Did you know?" and not viewable(popup),
                   "a ContextMenu request opens the program's own menu at the pointer; its Tell me "
                   "more, Zanto! shows a quote (out/linux/program-menu.png)")

        # The watcher restarts: the icon comes back.
        self.services.stop(self.watcher)
        wait_until("the watcher has gone", lambda: not self.bus.owner(WATCHER), 5)
        restarted = time.monotonic()
        self.watcher = self.start_watcher()
        item = wait_until("the icon comes back", lambda: (self.zanto_items() or [None])[0], 10)
        self.check(self.menu(item) and [t for _, t in self.menu(item)] == MENU_LABELS,
                   f"after the watcher's restart the icon is back as {item}, with its menu "
                   f"({time.monotonic() - restarted:.2f} s after the new watcher started)")
        screenshot(os.path.join(self.out, "screen.png"))
        wait_until("gtk-sni-tray shows the icon again", lambda: screenshot(
            os.path.join(self.out, "screen.png")) or find_colour(
            os.path.join(self.out, "screen.png"), ICON_YELLOW, bar), 10)
        self.ok("gtk-sni-tray shows the icon again")

        # Exit: the window and the icon go, the process ends.
        exit_at = time.monotonic()
        self.click_menu(item, "E_xit")
        wait_until("the process ends", lambda: self.zanto.poll() is not None, 5)
        self.check(self.zanto.returncode == 0 and not self.zanto_items()
                   and not self.settings_window(),
                   f"Exit ends the process (code 0, {time.monotonic() - exit_at:.2f} s); the icon "
                   "and the window are gone")
        self.services.stop(self.zanto)

        # No quotes.txt beside the program; the session ends with SIGTERM.
        self.start_zanto("no-quotes", self.folder("no-quotes"))
        sender = self.zanto_sender()
        first = self.monitor.wait("the first quote", "Notify", 5, since=self.started,
                                  kind="call", sender=sender)
        self.check(first.body[4] == "Ai. Quotes.txt could not be found!",
                   f"without quotes.txt the quote is {first.body[4]!r}")
        term_at = time.monotonic()
        self.zanto.send_signal(signal.SIGTERM)
        wait_until("the process ends", lambda: self.zanto.poll() is not None, 5)
        closed = self.monitor.find("CloseNotification", since=term_at, kind="call", sender=sender)
        self.check(self.zanto.returncode == 0 and not self.zanto_items() and closed,
                   f"SIGTERM ends the session: the icon and its quote go, the process ends "
                   f"(code 0, {time.monotonic() - term_at:.2f} s)")
        self.services.stop(self.zanto)

        # quotes.txt held open for writing by another program: the error box.
        folder = self.folder("locked")
        quotes = os.path.join(folder, "quotes.txt")
        shutil.copy2(os.path.join(self.build, "quotes.txt"), quotes)
        with open(quotes, "a", encoding="utf-8"):
            item = self.start_zanto("locked", folder)
            box = wait_until("the error box", lambda: (windows(name="^Zanto$") or [None])[0], 5)
            text = f"Cannot open file {quotes}."
            wait_until("its text", lambda: text in (self.a11y.shown_texts("zanto") or [()])[0], 5)
            pump(0.3)
            screenshot(os.path.join(self.out, "error-box.png"), window=box)
            self.ok(f"quotes.txt open for writing elsewhere: the error box says {text!r} "
                    "(out/linux/error-box.png)")
            run("xdotool", "windowactivate", "--sync", box)
            run("xdotool", "key", "Return")
            wait_until("the error box closes", lambda: not viewable(box), 5)
        sender = self.zanto_sender()
        hold("after OK the program goes on with no quotes to show",
             lambda: self.zanto.poll() is None and self.zanto_items()
             and not self.notifications(self.started, sender), 1.5)
        self.ok("after OK the program goes on with no quotes to show")
        self.click_menu(item, "E_xit")
        wait_until("the process ends", lambda: self.zanto.poll() is not None, 5)
        self.services.stop(self.zanto)

        # GNOME's session manager ends the session.
        manager = SessionManagerStandIn(self.bus)
        try:
            self.start_zanto("gnome")
            wait_until("zanto registers with the session manager",
                       lambda: "zanto" in manager.clients, 5)
            self.ok(f"zanto registers with GNOME's session manager ({manager.clients['zanto']})")
            manager.emit("zanto", "QueryEndSession", (0,), "(u)")
            wait_until("the answer to QueryEndSession", lambda: manager.answers("zanto"), 5)
            self.check(manager.answers("zanto")[0][0] is True, "asked whether the session may "
                       "end, it agrees")
            hold("... and stays", lambda: self.zanto.poll() is None and self.zanto_items(), 1)
            self.ok("... and stays, its icon too")
            ending = time.monotonic()
            manager.emit("zanto", "EndSession", (0,), "(u)")
            wait_until("the answer to EndSession", lambda: len(manager.answers("zanto")) >= 2, 5)
            wait_until("the process ends", lambda: self.zanto.poll() is not None, 5)
            self.check(manager.answers("zanto")[1][0] is True and self.zanto.returncode == 0
                       and not self.zanto_items(),
                       f"at the session's end the icon goes and the process ends "
                       f"({time.monotonic() - ending:.2f} s)")
            self.services.stop(self.zanto)
        finally:
            manager.close()

        self.unicode_files()
        self.late_notification_server()
        self.one_per_session()
        self.started_by_the_bus()
        self.xembed_tray()
        self.native_wayland()

    def late_notification_server(self):
        """At logon the notification server may come up after zanto: the first quote, sent
        while none answers, is shown once one does, and only once."""
        self.services.stop(self.dunst)
        wait_until("dunst off the bus", lambda: not self.bus.owner(NOTIFICATIONS), 5)
        item = self.start_zanto("late-server")
        sender = self.zanto_sender()
        pump(2.5)  # the first quote is due one second after start, and goes nowhere
        self.check(self.zanto.poll() is None and self.zanto_items(),
                   "with no notification server the program goes on")
        arrived = time.monotonic()
        self.dunst = self.start_dunst()
        late = self.monitor.wait("the quote once the server is there", "Notify", 5,
                                 since=arrived, kind="call", sender=sender)
        self.check(late.body[3] == "Did you know?" and late.body[4] in self.quotes,
                   f"the server that came late gets the first quote: {late.body[4]!r} "
                   f"({late.when - arrived:.2f} s after it was started)")
        hold("... once", lambda: len(self.notifications(arrived, sender)) == 1, 2)
        wait_until("dunst shows it", lambda: self.displayed() == 1, 3)
        self.ok("... once, and dunst shows it")
        self.click_menu(item, "E_xit")
        wait_until("the process ends", lambda: self.zanto.poll() is not None, 5)
        self.services.stop(self.zanto)

    def unicode_files(self):
        """Quotes files in UTF-8 with and without its mark, UTF-16 of either byte order, and
        Windows-1252 from Windows: every character shows in the balloon and the Quotes page."""
        lines = ["Café au lait, don’t, Жук and 😀", "Second: é ’ Ж 😀"]
        text = "".join(line + "\r\n" for line in lines)
        western = ["Café crème, naïve “quotes” – 50 €", "Ça va"]
        forms = {
            "UTF-8": (text.encode("utf-8"), lines),
            "UTF-8 with its mark": (b"\xef\xbb\xbf" + text.encode("utf-8"), lines),
            "UTF-16 LE": (b"\xff\xfe" + text.encode("utf-16-le"), lines),
            "UTF-16 BE": (b"\xfe\xff" + text.encode("utf-16-be"), lines),
            "Windows-1252": ("".join(w + "\r\n" for w in western).encode("cp1252"), western),
        }
        for n, (name, (data, expected)) in enumerate(forms.items()):
            folder = self.folder(f"unicode-{n}")
            with open(os.path.join(folder, "quotes.txt"), "wb") as f:
                f.write(data)
            item = self.start_zanto(f"unicode-{n}", folder)
            first = self.monitor.wait(f"{name}: the first quote", "Notify", 5, since=self.started,
                                      kind="call", sender=self.zanto_sender())
            self.check(first.body[4] in expected, f"{name}: the balloon reads {first.body[4]!r}")
            self.click_menu(item, "_Settings...")
            window = wait_until(f"{name}: the settings window", self.settings_window, 5)
            rows = wait_until(f"{name}: the quote list",
                              lambda: (self.a11y.shown_texts("zanto") or (None, None))[1], 5)
            self.check(rows == expected, f"{name}: the Quotes page lists {rows!r}")
            if n == 2:
                tab = self.a11y.centre("zanto", "page tab", "Quotes")
                run("xdotool", "mousemove", str(tab[0]), str(tab[1]), "click", "1")
                wait_until("the Quotes page shows", lambda: self.page_shown(expected[0], []), 5)
                pump(0.3)
                screenshot(os.path.join(self.out, "quotes-unicode.png"), window=window)
            self.click_menu(item, "E_xit")
            wait_until("the process ends", lambda: self.zanto.poll() is not None, 5)
            self.services.stop(self.zanto)


    # -- one Zanto per session, and the applications menu -----------------------------------

    def activate_action(self, action, start=False):
        self.bus.call(APP_ID, APP_PATH, APP_IFACE, "ActivateAction", (action, [], {}),
                      "(sava{sv})", timeout=10000, start=start)

    def one_per_session(self):
        general = "Sorry, no options implemented at the moment. Hey, this is just a beta! :)"
        motto = "Zanto Velmar does not sleep. He waits."
        item = self.start_zanto("first")
        self.monitor.wait("the first quote", "Notify", 5, since=self.started, kind="call",
                          sender=self.zanto_sender())
        first = self.zanto
        self.check(self.bus.pid(APP_ID) == first.pid, f"the running zanto owns {APP_ID}")

        # A second start, from another folder: it hands over and ends before it shows or
        # reads anything; the first shows its window.
        for n, (before, what) in enumerate(((None, "hidden in the tray"),
                                             ("About _Zanto...", "shown on its About page, "
                                                                  "behind another window"))):
            if before:
                self.click_menu(item, before)
                window = wait_until("the settings window", self.settings_window, 5)
                wait_until("the About page shows", lambda: self.page_shown(motto, [general]), 5)
                # Another window takes the focus and covers it.
                cover = self.services.start("cover", ["/usr/bin/python3", "-c", COVER_WINDOW])
                wait_until("the covering window has the focus", lambda: run(
                    "xdotool", "getactivewindow", "getwindowname", check=False) == "cover", 5)
            folder = self.folder(f"second-{n}")
            shutil.copy2(os.path.join(self.build, "zanto"), folder)
            second_at = time.monotonic()
            # As a launcher starts it: with the token of its activation, and the startup id
            # of the user's request now, which the window manager's activation then names.
            tokens = {"XDG_ACTIVATION_TOKEN": f"token-{n}",
                      "DESKTOP_STARTUP_ID": f"e2e-launcher-{n}_TIME{x_server_time()}"}
            second = self.services.start(f"zanto-second-{n}", [os.path.join(folder, "zanto")],
                                         env=dict(self.zanto_env(), **tokens), cwd="/")
            try:
                code = second.wait(5)
            except subprocess.TimeoutExpired:
                raise Failure("a second zanto is still running after 5 s") from None
            took = time.monotonic() - second_at
            self.services.stop(second)
            self.check(code == 0 and took < 2,
                       f"a second zanto while the first runs {what} ends with code 0 "
                       f"({took:.2f} s)")
            activate = self.monitor.find("Activate", since=second_at, kind="call",
                                         where=lambda m: m.iface == APP_IFACE)
            self.check(len(activate) == 1 and activate[0].body[0] == {
                "activation-token": tokens["XDG_ACTIVATION_TOKEN"],
                "desktop-startup-id": tokens["DESKTOP_STARTUP_ID"]},
                f"... having called the first's Activate once, passing on its activation token and "
                f"startup id: {activate[0].body if activate else None}")
            window = wait_until("the first zanto's window", self.settings_window, 5)
            wait_until("its General page", lambda: self.page_shown(general, [motto]), 5)
            wait_until("the window in front, with the focus", lambda: run(
                "xdotool", "getactivewindow", check=False) == str(int(window)), 5)
            hold("one icon and no second quote", lambda: len(self.zanto_items()) == 1
                 and len(self.host.items()) == 1 and first.poll() is None
                 and not self.notifications(second_at), 1)
            pump(0.3)
            screenshot(os.path.join(self.out, f"second-start-{n}.png"))
            self.ok(f"... the first shows its window on the General page, in front with the "
                    f"focus; one icon, no second quote (out/linux/second-start-{n}.png)")
            if before:
                self.services.stop(cover)
            run("xdotool", "windowactivate", "--sync", window)
            run("xdotool", "key", "Return")
            wait_until("OK hides the window", lambda: not viewable(window), 5)

        # The menu entry's actions reach the running zanto, as its tray menu's commands.
        told = time.monotonic()
        self.activate_action("tell-me-more")
        quote = self.monitor.wait("the action's quote", "Notify", 3, since=told, kind="call",
                                  sender=self.zanto_sender())
        self.check(quote.body[3] == "Did you know?" and quote.body[4] in self.quotes,
                   f"the action Tell me more, Zanto! shows a quote: {quote.body[4]!r}")
        self.activate_action("about")
        window = wait_until("the settings window", self.settings_window, 5)
        wait_until("the About page shows", lambda: self.page_shown(motto, [general]), 5)
        self.ok("the action About Zanto... shows the window on its About page")
        self.activate_action("settings")
        wait_until("the General page shows", lambda: self.page_shown(general, [motto]), 5)
        self.ok("the action Settings... turns it to its General page")
        try:
            self.activate_action("no-such-action")
            raise Failure("an unknown action is taken")
        except GLib.Error as e:
            self.check("InvalidArgs" in str(e) and first.poll() is None,
                       "an unknown action is refused; zanto goes on")
        # Exit as a launcher without D-Bus activation runs it: the action's Exec line.
        exit_line = desktop_action_exec(os.path.join(self.build, f"{APP_ID}.desktop"), "exit")
        exit_at = time.monotonic()
        run(*exit_line)
        wait_until("the process ends", lambda: first.poll() is not None, 5)
        self.check(first.returncode == 0 and not self.host.items() and not self.settings_window()
                   and not self.bus.owner(APP_ID),
                   f"the action Exit (its Exec line, {exit_line[0]} ...) ends zanto: code 0, "
                   f"{time.monotonic() - exit_at:.2f} s; the icon and the window are gone")
        self.services.stop(first)

    def started_by_the_bus(self):
        """A launcher asks the bus for zanto where none runs."""
        general = "Sorry, no options implemented at the moment. Hey, this is just a beta! :)"
        env = self.zanto_env()
        self.bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "UpdateActivationEnvironment",
                      ({k: env[k] for k in ("DISPLAY", "XDG_CONFIG_HOME", "QT_ACCESSIBILITY",
                                            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON")},), "(a{ss})")

        def bus_started(what):
            pid = wait_until(f"{what}: the bus starts zanto", lambda: self.bus.pid(APP_ID), 5)
            self.zanto = BusStarted(pid)
            return wait_until(f"{what}: its icon", lambda: (self.zanto_items() or [None])[0], 10)

        # Exit where none runs: nothing starts, nothing shows.
        asked = time.monotonic()
        self.activate_action("exit", start=True)
        hold("Exit where none runs: nothing comes", lambda: not self.host.items()
             and not self.notifications(asked) and not self.settings_window(), 2)
        self.check(not self.bus.owner(APP_ID),
                   "the action Exit where no zanto runs: the call is answered, no icon, no quote, "
                   "no window, and nothing runs afterwards")

        # The menu entry itself: a start like every start.
        asked = time.monotonic()
        self.bus.call(APP_ID, APP_PATH, APP_IFACE, "Activate", ({},), "(a{sv})", timeout=10000,
                      start=True)
        item = bus_started("the menu entry")
        first = self.monitor.wait("the first quote", "Notify", 5, since=asked, kind="call",
                                  sender=self.zanto_sender())
        registration = self.monitor.find("RegisterStatusNotifierItem", since=asked, kind="call",
                                         sender=self.zanto_sender())
        after = first.when - registration[0].when
        hold("no window", lambda: not self.settings_window(), 1)
        self.check(0.9 <= after <= 1.6,
                   f"the menu entry where none runs starts zanto: its icon, the first quote "
                   f"{after:.2f} s after it, and no window")
        self.click_menu(item, "E_xit")
        self.zanto.wait(5)

        # Settings where none runs: zanto starts, then does it.
        asked = time.monotonic()
        self.activate_action("settings", start=True)
        item = bus_started("Settings...")
        window = wait_until("the settings window", self.settings_window, 5)
        wait_until("its General page", lambda: self.page_shown(general, []), 5)
        first = self.monitor.wait("the first quote", "Notify", 5, since=asked, kind="call",
                                  sender=self.zanto_sender())
        pump(0.3)
        screenshot(os.path.join(self.out, "settings-started.png"), window=window)
        self.check(first.body[4] in self.quotes and len(self.host.items()) == 1,
                   "the action Settings... where none runs starts zanto with its icon and first "
                   "quote, and shows the window on its General page "
                   "(out/linux/settings-started.png)")
        self.click_menu(item, "E_xit")
        self.zanto.wait(5)
        self.check(not self.host.items() and not self.bus.owner(APP_ID),
                   "... and its Exit ends it")

    # -- the XEmbed tray --------------------------------------------------------------------

    def xembed_tray(self):
        self.services.stop(self.watcher)
        wait_until("the watcher has gone", lambda: not self.bus.owner(WATCHER), 5)
        tray = XEmbedTray(self)
        self.start_zanto("xembed", registered=False)
        icon = wait_until("the icon docks in the XEmbed tray", lambda: tray.icons() or None, 10)
        self.check(len(icon) == 1 and tray.shows_icon(),
                   "with no watcher on X11 the icon docks in the XEmbed tray "
                   "(out/linux/xembed-tray.png)")
        first = self.monitor.wait("the first quote", "Notify", 5, since=self.started,
                                  kind="call", sender=self.zanto_sender())
        self.check(first.body[3] == "Did you know?" and first.body[4] in self.quotes,
                   "its first quote is a notification, as ever")
        wait_until("dunst shows it", lambda: self.displayed() == 1, 3)
        x, y = tray.centre(icon[0])

        def menus():
            return [w for w in windows(cls="zanto") if not self.settings_window() == w
                    and geometry(w)[3] > 60]

        clicked = time.monotonic()
        run("xdotool", "mousemove", str(x), str(y), "click", "1")
        hold("a left click on the icon does nothing", lambda: not menus()
             and not self.settings_window() and not self.notifications(clicked), 1)
        run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
        hold("nor does a double click", lambda: not menus()
             and not self.settings_window() and not self.notifications(clicked), 1)
        self.ok("a left click or a double click on the icon in the XEmbed tray does nothing")

        run("xdotool", "mousemove", str(x), str(y), "click", "3")
        menu = wait_until("a right click opens the menu", lambda: (menus() or [None])[0], 5)
        pump(0.3)
        screenshot(os.path.join(self.out, "xembed-menu.png"))
        told = time.monotonic()
        run("xdotool", "key", "t")
        quote = self.monitor.wait("its Tell me more", "Notify", 3, since=told, kind="call",
                                  sender=self.zanto_sender())
        self.check(not viewable(menu) and quote.body[4] in self.quotes,
                   "a right click on it opens the program's menu; its Tell me more, Zanto! shows a "
                   "quote (out/linux/xembed-menu.png)")
        wait_until("dunst shows it", lambda: self.displayed() == 1, 3)
        shown = [m for m in self.monitor.find("Notify", since=told, kind="call")]

        # A watcher arrives while the quote is on screen: the icon moves to it, the quote
        # stays.
        arrived = time.monotonic()
        self.watcher = self.start_watcher()
        wait_until("the icon registers with the new watcher", lambda: self.zanto_items(), 10)
        wait_until("it leaves the XEmbed tray", lambda: not tray.icons(), 5)
        hold("the quote stays on screen", lambda: self.displayed() == 1 and not
             self.monitor.find("CloseNotification", since=arrived, kind="call",
                               sender=self.zanto_sender()), 1.5)
        self.check(len(self.zanto_items()) == 1 and shown,
                   f"a watcher that arrives while a quote is shown: the icon moves to it, one "
                   f"icon; the notification stays ({time.monotonic() - arrived:.2f} s)")

        # The watcher goes: back to the XEmbed tray.
        self.services.stop(self.watcher)
        icon = wait_until("the icon docks again", lambda: tray.icons() or None, 10)
        self.check(len(icon) == 1, "the watcher goes: the icon is back in the XEmbed tray, once")

        # The tray manager restarts.
        tray.stop()
        tray = XEmbedTray(self)
        icon = wait_until("the icon docks in the new tray", lambda: tray.icons() or None, 10)
        hold("once", lambda: len(tray.icons()) == 1, 1)
        self.check(tray.shows_icon(), "the tray manager restarts: the icon docks in the new one, "
                                      "once")

        x, y = tray.centre(icon[0])
        run("xdotool", "mousemove", str(x), str(y), "click", "3")
        wait_until("the menu", lambda: (menus() or [None])[0], 5)
        run("xdotool", "key", "x")
        wait_until("the process ends", lambda: self.zanto.poll() is not None, 5)
        self.check(self.zanto.returncode == 0 and not tray.icons(),
                   "its Exit ends the program; the icon leaves the tray")
        self.services.stop(self.zanto)

        # No session bus at all: zanto runs on its own, its icon in the XEmbed tray.
        alone = self.services.start("zanto-no-bus", [os.path.join(self.build, "zanto")],
                                    env=dict(self.zanto_env(),
                                             DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent"),
                                    cwd="/")
        wait_until("the icon of a zanto without a bus", lambda: tray.icons() or None, 10)
        hold("it runs on", lambda: alone.poll() is None and len(tray.icons()) == 1, 1.5)
        alone.send_signal(signal.SIGTERM)
        code = alone.wait(5)
        self.check(code == 0 and not tray.icons(),
                   "with no session bus zanto runs alone: its icon in the XEmbed tray; SIGTERM "
                   "ends it (code 0)")
        self.services.stop(alone)
        tray.stop()
        self.watcher = self.start_watcher()

    # -- native Wayland ---------------------------------------------------------------------

    def native_wayland(self):
        """zanto in a Wayland session (weston, headless): Qt's Wayland platform, the same
        program; checked through the bus and the accessibility tree."""
        general = "Sorry, no options implemented at the moment. Hey, this is just a beta! :)"
        runtime = self.folder("wayland-runtime")
        os.chmod(runtime, 0o700)
        self.services.start("weston", ["weston", "--backend=headless-backend.so",
                                       "--socket=wayland-e2e", "--width=1280", "--height=800"],
                            env=dict(os.environ, XDG_RUNTIME_DIR=runtime))
        socket = os.path.join(runtime, "wayland-e2e")
        wait_until("weston's socket", lambda: os.path.exists(socket), 10)
        env = {k: v for k, v in self.zanto_env().items() if k != "DISPLAY"}
        env.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wayland-e2e",
                   QT_QPA_PLATFORM="wayland")
        self.start_zanto("wayland", env=env)
        first = self.zanto

        def maps(pid):
            with open(f"/proc/{pid}/maps") as f:
                return f.read()
        self.monitor.wait("the first quote", "Notify", 5, since=self.started, kind="call",
                          sender=self.zanto_sender())
        loaded = maps(first.pid)
        self.check("libQt6WaylandClient" in loaded and "libQt6XcbQpa" not in loaded,
                   "on Wayland zanto runs natively (Qt's Wayland platform, no X11): its icon, "
                   "its first quote")
        second_at = time.monotonic()
        second = self.services.start("zanto-wayland-second", [os.path.join(self.build, "zanto")],
                                     env=dict(env, XDG_ACTIVATION_TOKEN="wayland-token"), cwd="/")
        code = second.wait(5)
        self.services.stop(second)
        activate = self.monitor.find("Activate", since=second_at, kind="call",
                                     where=lambda m: m.iface == APP_IFACE)
        wait_until("the window on its General page", lambda: self.page_shown(general, []), 5)
        self.check(code == 0 and len(activate) == 1
                   and activate[0].body[0].get("activation-token") == "wayland-token",
                   f"a second start there hands over with its activation token and ends (code "
                   f"{code}, {time.monotonic() - second_at:.2f} s); the first shows its window on "
                   f"the General page")
        self.click_menu(self.zanto_items()[0], "E_xit")
        wait_until("the process ends", lambda: first.poll() is not None, 5)
        self.check(first.returncode == 0 and not self.zanto_items(), "... and its Exit ends it")
        self.services.stop(first)


def x_server_time():
    """The X server's time now, as a launcher puts it into a startup id: the time of an
    event the server stamps."""
    from Xlib import X, Xatom, display
    d = display.Display()
    try:
        w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent,
                                          event_mask=X.PropertyChangeMask)
        w.change_property(Xatom.WM_NAME, Xatom.STRING, 8, b"now")
        while True:
            e = d.next_event()
            if e.type == X.PropertyNotify:
                return e.time
    finally:
        d.close()


# A window that takes the focus when it is mapped, as a newly opened program's does.
COVER_WINDOW = """
import signal, sys
from Xlib import X, display
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
d = display.Display()
w = d.screen().root.create_window(0, 0, 1280, 760, 0, d.screen().root_depth,
                                  background_pixel=0x406080)
w.set_wm_name("cover")
w.map()
d.flush()
while True:
    d.next_event()
"""


class XEmbedTray:
    """The stand-in XEmbed tray manager (xembed_tray.py), with what it shows."""

    def __init__(self, test):
        self.test = test
        self.log = os.path.join(test.out, f"xembed-tray-{time.monotonic_ns()}.log")
        self.proc = test.services.start(os.path.basename(self.log)[:-4],
                                        ["/usr/bin/python3", os.path.join(HERE, "xembed_tray.py")])
        self.window = wait_until("the XEmbed tray manager", self._window, 10)

    def _window(self):
        with open(self.log) as f:
            m = re.search(r"^tray (0x[0-9a-f]+)$", f.read(), re.M)
        return m and m.group(1)

    def icons(self):
        """The icons docked now: the tray's mapped children."""
        tree = run("xwininfo", "-children", "-id", self.window, check=False)
        children = re.findall(r"^\s+(0x[0-9a-f]+) ", tree, re.M)
        return [c for c in children if viewable(c)]

    def centre(self, icon):
        x, y, w, h = geometry(icon)
        return x + w // 2, y + h // 2

    def shows_icon(self):
        path = os.path.join(self.test.out, "xembed-tray.png")
        screenshot(path)
        return find_colour(path, ICON_YELLOW, geometry(self.window)) is not None

    def stop(self):
        self.test.services.stop(self.proc)


def desktop_action_exec(path, action):
    """The Exec line of a desktop entry's action, as a launcher splits it."""
    section, exec_line = None, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                section = line
            elif section == f"[Desktop Action {action}]" and line.startswith("Exec="):
                exec_line = line[len("Exec="):]
    if not exec_line:
        raise Failure(f"{path} has no Exec line for its action {action}")
    return shlex.split(exec_line)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    build, out = (os.path.abspath(a) for a in sys.argv[1:])
    os.makedirs(out, exist_ok=True)
    test = Test(build, out)
    began = time.monotonic()
    failed = run_checks(test, "out/linux")
    log(f"Linux end-to-end: {time.monotonic() - began:.1f} s")
    log(f"{test.passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
