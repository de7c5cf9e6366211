#!/usr/bin/env python3
"""Starts the desktop program and ends it with SIGTERM, over and over, on an X display of its own.

Each cycle starts build/bin/brindle with a fresh home (so each first start also runs its daily
update check), waits until its window shows and sends SIGTERM at once. The cycles take turns:

  plain     SIGTERM right after the window appears;
  restart   SIGTERM, and a new start right after it: the new start must show a window of its
            own instead of handing over to the closing one; then that one is ended too;
  dialog    the open-file dialog opened first (a click on the drop area), then SIGTERM.

Every program run must end by itself with exit code 0, without a crash message on standard
error and without leaving Error.tmp. It prints the starts, the windows shown, the crashes
(any other end, or no end within 15 s) and the dumps. Needs Xvfb and xdotool; --wm runs
openbox on the display.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINDOW_WAIT_S = 15
END_WAIT_S = 15


def visible_windows(pid, env):
    result = subprocess.run(["xdotool", "search", "--pid", str(pid), "--onlyvisible"], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return result.stdout.split()


def wait_for_window(process, env):
    end = time.monotonic() + WINDOW_WAIT_S
    while time.monotonic() < end and process.poll() is None:
        windows = visible_windows(process.pid, env)
        if windows:
            return windows[0]
        time.sleep(0.02)
    return None


def wait_for_display(server, display):
    env = dict(os.environ, DISPLAY=display)
    for _ in range(100):
        if server.poll() is not None:
            return False
        if subprocess.run(["xdotool", "getdisplaygeometry"], env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0:
            return True
        time.sleep(0.1)
    return False


def click_drop_area(window, env):
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=env,
                              stdout=subprocess.PIPE, text=True).stdout
    values = dict(line.split("=", 1) for line in geometry.split())
    x = int(values["X"]) + int(values["WIDTH"]) // 2
    y = int(values["Y"]) + int(values["HEIGHT"]) // 3
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=env)
    time.sleep(0.5)


class Tally:
    def __init__(self):
        self.starts = self.windows = self.crashes = self.dumps = 0

    def start(self, program, env):
        self.starts += 1
        err = tempfile.TemporaryFile()
        process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=err)
        window = wait_for_window(process, env)
        if window:
            self.windows += 1
        return process, err, window

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


def environment(home, display):
    for sub in (".config", ".cache", ".local/share", "run"):
        os.makedirs(os.path.join(home, sub), exist_ok=True)
    os.chmod(os.path.join(home, "run"), 0o700)
    env = dict(os.environ, HOME=home, DISPLAY=display, QT_QPA_PLATFORM="xcb",
               XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_DATA_HOME=os.path.join(home, ".local/share"),
               XDG_RUNTIME_DIR=os.path.join(home, "run"))
    env.pop("BRINDLE_USER_REGISTRY", None)
    return env


def cycle(kind, program, tally, root, display):
    home = tempfile.mkdtemp(dir=root)
    env = environment(home, display)
    process, err, window = tally.start(program, env)
    if kind == "dialog" and window:
        click_drop_area(window, env)
    process.send_signal(signal.SIGTERM)
    if kind == "restart":
        second, second_err, _ = tally.start(program, env)
        tally.finish(process, err, home)
        second.send_signal(signal.SIGTERM)
        tally.finish(second, second_err, home)
    else:
        tally.finish(process, err, home)
    shutil.rmtree(home, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program", help="build/bin/brindle")
    parser.add_argument("--display", default=":99", help="a free X display number for Xvfb")
    parser.add_argument("--cycles", type=int, default=100)
    parser.add_argument("--wm", action="store_true", help="run openbox on the display")
    args = parser.parse_args()

    # -noreset: a server that resets whenever its last client leaves refuses the next start.
    server = subprocess.Popen(["Xvfb", args.display, "-screen", "0", "1280x800x24", "-noreset",
                               "-nolisten", "tcp"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_for_display(server, args.display):
        print(f"Xvfb did not start on {args.display}", file=sys.stderr)
        return 2
    manager = None
    if args.wm:
        manager = subprocess.Popen(["openbox"], env=dict(os.environ, DISPLAY=args.display),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
    root = tempfile.mkdtemp(prefix="brindle-bench-")
    tally = Tally()
    kinds = ["plain", "restart", "dialog"]
    try:
        for i in range(args.cycles):
            cycle(kinds[i % len(kinds)], os.path.abspath(args.program), tally, root,
                  args.display)
    finally:
        shutil.rmtree(root, ignore_errors=True)
        for process in (manager, server):
            if process:
                process.terminate()
                process.wait()
    print(f"cycles: {args.cycles}  starts: {tally.starts}  windows shown: {tally.windows}  "
          f"crashes: {tally.crashes}  dumps: {tally.dumps}")
    return 0 if tally.windows == tally.starts and tally.crashes == tally.dumps == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
