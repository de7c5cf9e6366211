"""Starts the desktop program and ends it with SIGTERM, over and over, on a private X display.

Each cycle starts the program with a fresh home, waits until its window shows and sends SIGTERM
at once. The cycles take turns:

  plain     SIGTERM right after the window appears;
  restart   SIGTERM, and a new start right after it: the new start must show a window of its
            own instead of handing over to the closing one; then that one is ended too;
  dialog    the open-file dialog opened first (a click on the drop area), then SIGTERM.

Every program run must end by itself with exit code 0, without a crash message on standard
error and without leaving Error.tmp. It prints the starts, the windows shown, the crashes (any
other end, or no end within 15 s) and the dumps, without a window manager and with openbox.
Usage: start_stop_bench.py BRINDLE SUPPORT_DIR [CYCLES]
"""

import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, sys.argv[2])
from xsession import XSession  # noqa: E402

WINDOW_WAIT_S = 15
END_WAIT_S = 15
KINDS = ("plain", "restart", "dialog")


class Cycles:
    def __init__(self, x):
        self.x = x
        self.starts = self.windows = self.crashes = self.dumps = 0

    def start(self, env):
        self.starts += 1
        err = tempfile.TemporaryFile()
        process = subprocess.Popen([sys.argv[1]], env=env, stdout=subprocess.DEVNULL, stderr=err)
        window = self.wait_for_window(process)
        if window:
            self.windows += 1
        return process, err, window

    def wait_for_window(self, process):
        deadline = time.monotonic() + WINDOW_WAIT_S
        while time.monotonic() < deadline and process.poll() is None:
            found = self.x.run(["xdotool", "search", "--pid", str(process.pid), "--onlyvisible"])
            if found.split():
                return found.split()[0]
            time.sleep(0.02)
        return None

    def click_drop_area(self, window):
        x, y, width, height = self.x.geometry(window)
        self.x.run(["xdotool", "mousemove", str(x + width // 2), str(y + height // 3), "click",
                    "1"])
        time.sleep(0.5)

    def finish(self, process, err, home):
        try:
            code = process.wait(END_WAIT_S)
        except subprocess.TimeoutExpired:
            process.kill()
            code = process.wait()
            print(f"  pid {process.pid} did not end", file=sys.stderr)
        err.seek(0)
        message = err.read().decode(errors="replace")
        if code != 0 or "except" in message:
            self.crashes += 1
            print(f"  pid {process.pid} ended with {code}: {message.strip()[:200]}",
                  file=sys.stderr)
        dump = os.path.join(home, ".config", "Brindle", "Error.tmp")
        if os.path.exists(dump):
            self.dumps += 1
            os.remove(dump)

    def run(self, kind):
        home = tempfile.mkdtemp(dir=self.x.home)
        env = self.x.env(home=home)
        process, err, window = self.start(env)
        if kind == "dialog" and window:
            self.click_drop_area(window)
        process.send_signal(signal.SIGTERM)
        if kind == "restart":
            second, second_err, _ = self.start(env)
            self.finish(process, err, home)
            second.send_signal(signal.SIGTERM)
            self.finish(second, second_err, home)
        else:
            self.finish(process, err, home)


def main():
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    failed = False
    for window_manager in (False, True):
        with XSession(window_manager=window_manager) as x:
            cycles = Cycles(x)
            for i in range(count):
                cycles.run(KINDS[i % len(KINDS)])
        where = "with openbox" if window_manager else "without a window manager"
        print(f"{count} start-then-SIGTERM cycles {where}: {cycles.starts} starts, "
              f"{cycles.windows} windows shown, {cycles.crashes} crashes, {cycles.dumps} dumps")
        failed |= cycles.windows != cycles.starts or cycles.crashes or cycles.dumps
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
