#!/usr/bin/python3
"""The installed Debian package at login, on a headless desktop.

Runs inside the private session bus that package-test.sh makes. Starts a small desktop
(Xvfb, a StatusNotifierWatcher with a tray host, the notification server dunst), then
starts zanto as a session's autostart does: the Exec line of
ROOT/etc/xdg/autostart/org.example.zanto.Zanto.desktop, with ROOT/usr/bin on the PATH.
Checks its first quote, and that the user's own quotes file ($XDG_CONFIG_HOME/zanto/quotes.txt, else ~/.config/zanto/quotes.txt) wins
over the one the package put beside the program.

usage: package_e2e.py ROOT OUT_DIR   (ROOT: where the package is installed)
"""

import html
import os
import shlex
import shutil
import signal
import sys
import time

import zanto_e2e
from zanto_e2e import (NOTIFICATIONS, Bus, Checks, Failure, HostStandIn, Monitor, log,
                       run_checks, screenshot, wait_until, windows)

HERE = os.path.dirname(os.path.abspath(__file__))


def autostart_command(root, path):
    """The command of the autostart entry, as a session's autostart reads it with this PATH."""
    entry = {}
    section = None
    with open(os.path.join(root, "etc/xdg/autostart/org.example.zanto.Zanto.desktop"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                section = line
            elif section == "[Desktop Entry]" and "=" in line:
                key, value = line.split("=", 1)
                entry[key] = value
    if entry.get("Hidden") == "true" or entry.get("X-GNOME-Autostart-enabled") == "false":
        raise Failure("the autostart entry is switched off")
    if "TryExec" in entry and not shutil.which(entry["TryExec"], path=path):
        raise Failure(f"the autostart entry's TryExec={entry['TryExec']} is not there")
    # Field codes (%f, %u, ...) stand for files the session never passes at login.
    return [arg for arg in shlex.split(entry["Exec"]) if not arg.startswith("%")], entry


class PackageTest(Checks):
    def __init__(self, root, out):
        super().__init__(out, "zanto-package-")
        self.root = root
        with open(os.path.join(root, "usr/lib/zanto/quotes.txt"), encoding="utf-8") as f:
            self.packaged = f.read().splitlines()

    def start_desktop(self):
        self.start_xvfb()
        self.bus = Bus()
        self.monitor = Monitor()
        self.services.start("watcher", ["status-notifier-watcher"])
        wait_until("the watcher", lambda: self.bus.owner(zanto_e2e.WATCHER), 15)
        self.host = HostStandIn(self.bus)
        self.services.start("dunst", ["dunst", "-config", os.path.join(HERE, "dunstrc")])
        wait_until("dunst on the bus", lambda: self.bus.owner(NOTIFICATIONS), 15)
        self.ok(f"a desktop on {os.environ['DISPLAY']}: status-notifier-watcher, a tray host, dunst")

    def login(self, name, tag, home, config_home=None):
        """zanto started as the session's autostart starts it, for a user with this home;
        the first quote it shows."""
        env = {k: v for k, v in os.environ.items() if k != "XDG_CONFIG_HOME"}
        env.update(HOME=home, PATH=os.path.join(self.root, "usr/bin") + ":" + env["PATH"],
                   XDG_DATA_DIRS=os.path.join(self.root, "usr/share") + ":/usr/share")
        argv, _ = autostart_command(self.root, env["PATH"])
        if config_home:
            env["XDG_CONFIG_HOME"] = config_home
        program = shutil.which(argv[0], path=env["PATH"])
        self.check(program == os.path.join(self.root, "usr/bin/zanto"),
                   f"{tag}: the autostart entry's Exec={' '.join(argv)} is /usr/bin/zanto")
        started = time.monotonic()
        proc = self.services.start(f"zanto-{name}", [program] + argv[1:], env=env, cwd=home)
        prefix = f"org.kde.StatusNotifierItem-{proc.pid}-"
        item = wait_until("zanto's icon registered with the watcher",
                          lambda: next((i for i in self.host.items() if i.startswith(prefix)),
                                       None), 10)
        icon_name = self.bus.prop(item, "/StatusNotifierItem", zanto_e2e.ITEM_IFACE, "IconName")
        self.check(icon_name == "org.example.zanto.Zanto",
                   f"{tag}: the tray icon is the theme's {icon_name!r}, which the package installs")
        self.check(os.path.realpath(f"/proc/{proc.pid}/exe") ==
                   os.path.join(self.root, "usr/lib/zanto/zanto"),
                   f"{tag}: it runs as /usr/lib/zanto/zanto, its icon in the tray")
        notify = self.monitor.wait("the first quote", "Notify", 5, since=started, kind="call")
        app, _, _, summary, body, _, _, _ = notify.body
        self.check(app == "Zanto" and summary == "Did you know?",
                   f"{tag}: its first quote comes up {notify.when - started:.1f} s after the start")
        return proc, html.unescape(body)

    def logout(self, proc):
        proc.send_signal(signal.SIGTERM)
        self.services.stop(proc)
        self.check(proc.returncode == 0, "the session's end (SIGTERM) ends it with exit code 0")

    def run(self):
        self.start_desktop()

        home = os.path.join(self.work, "ann")
        os.makedirs(home)
        proc, quote = self.login("new-user", "a new user", home)
        self.check(quote in self.packaged,
                   f"... a quote of the packaged /usr/lib/zanto/quotes.txt: {quote!r}")
        wait_until("dunst draws it", lambda: windows(cls="Dunst"), 5)
        screenshot(os.path.join(self.out, "first-quote.png"))
        log("   (the screen: out/linux-package/first-quote.png)")
        self.logout(proc)

        own = "A quote of my own, from my configuration folder."
        os.makedirs(os.path.join(home, ".config/zanto"))
        with open(os.path.join(home, ".config/zanto/quotes.txt"), "w", encoding="utf-8") as f:
            f.write(own + "\n")
        proc, quote = self.login("config", "a user with ~/.config/zanto/quotes.txt", home)
        self.check(quote == own, f"... the user's own quote wins: {quote!r}")
        self.logout(proc)

        elsewhere = os.path.join(self.work, "elsewhere")
        os.makedirs(os.path.join(elsewhere, "zanto"))
        other = "A quote from XDG_CONFIG_HOME."
        with open(os.path.join(elsewhere, "zanto/quotes.txt"), "w", encoding="utf-8") as f:
            f.write(other + "\n")
        proc, quote = self.login("xdg-config-home", "the same user with XDG_CONFIG_HOME set", home,
                                 elsewhere)
        self.check(quote == other, f"... $XDG_CONFIG_HOME/zanto/quotes.txt wins: {quote!r}")
        self.logout(proc)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    root, out = (os.path.abspath(a) for a in sys.argv[1:])
    os.makedirs(out, exist_ok=True)
    test = PackageTest(root, out)
    failed = run_checks(test, "out/linux-package")
    log(f"{test.passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
