"""A private X display for tests and benchmarks that drive the real program.

XSession starts Xvfb on the first free display number (from BRINDLE_FIRST_DISPLAY, 11 by
default), optionally a window manager (openbox), and gives every program it starts a fresh
HOME and XDG folders, so nothing touches the real home. Everything it started is ended on
close, in reverse order.
"""

import datetime
import os
import shutil
import signal
import subprocess
import tempfile
import time


class XSession:
    def __init__(self, window_manager=True, screen="1280x800x24"):
        self.home = tempfile.mkdtemp(prefix="brindle-x-")
        self.processes = []
        try:
            self.display = self._start_xvfb(screen)
            if window_manager:
                self._start_openbox()
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def env(self, home=None, **extra):
        """The environment of a program on the display, with the session's home or another."""
        home = home or self.home
        env = dict(os.environ)
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("BRINDLE_USER_REGISTRY", None)
        runtime = os.path.join(home, "runtime")
        for folder in (".config", ".local/share", ".cache", "runtime"):
            os.makedirs(os.path.join(home, folder), exist_ok=True)
        os.chmod(runtime, 0o700)
        user_registry = os.path.join(home, ".config", "brindle.reg")
        if not os.path.exists(user_registry):
            # Today's update check counts as done: the program stays off the network.
            with open(user_registry, "w") as registry:
                day = datetime.date.today().day
                registry.write(f"[Software\\Brindle]\nUpdateDay=dword:{day}\n")
        env.update(
            DISPLAY=self.display,
            HOME=home,
            XDG_CONFIG_HOME=os.path.join(home, ".config"),
            XDG_DATA_HOME=os.path.join(home, ".local/share"),
            XDG_CACHE_HOME=os.path.join(home, ".cache"),
            XDG_RUNTIME_DIR=runtime,
            BRINDLE_MACHINE_REGISTRY=os.path.join(home, "machine.reg"),
        )
        env.update(extra)
        return env

    def start(self, args, **popen):
        process = subprocess.Popen(args, env=popen.pop("env", self.env()), **popen)
        self.processes.append(process)
        return process

    def run(self, args, timeout=20):
        """Runs an X client (xdotool, xprop) to its end and returns its standard output."""
        return subprocess.run(args, env=self.env(), capture_output=True, text=True,
                              timeout=timeout).stdout

    def wait_for_window(self, name, timeout=30):
        """The id of the first visible window whose title is exactly name."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"]).split()
            if found:
                return found[0]
            time.sleep(0.1)
        raise TimeoutError(f"no window named {name!r} within {timeout} s")

    def geometry(self, window):
        """x, y, width, height of a window on the screen."""
        values = {}
        for line in self.run(["xdotool", "getwindowgeometry", "--shell", window]).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value) if value.isdigit() else value
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.processes.clear()
        shutil.rmtree(self.home, ignore_errors=True)

    def _start_xvfb(self, screen):
        first = int(os.environ.get("BRINDLE_FIRST_DISPLAY", "11"))
        for number in range(first, first + 80):
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            # -noreset: a server that resets whenever its last client leaves refuses the next one.
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", screen, "-noreset",
                                     "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            display = f":{number}"
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and xvfb.poll() is None:
                if subprocess.run(["xdpyinfo", "-display", display], capture_output=True).returncode == 0:
                    self.processes.append(xvfb)
                    return display
                time.sleep(0.1)
            if xvfb.poll() is None:
                xvfb.kill()
            xvfb.wait()
        raise RuntimeError("no free X display")

    def _start_openbox(self):
        self.start(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]):
                return
            time.sleep(0.1)
        raise TimeoutError("openbox did not start")
