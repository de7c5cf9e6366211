"""Idle cost of the desktop program: the CPU time its process uses over 10 s with the main
window shown and nothing happening, as a share of one core. Measured under a private Xvfb,
with a window manager (openbox) and without one. Usage: idle_cpu.py BRINDLE SUPPORT_DIR
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, sys.argv[2])
from xsession import XSession  # noqa: E402

SECONDS = 10


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime and stime
    return ticks / os.sysconf("SC_CLK_TCK")


def measure(window_manager):
    with XSession(window_manager=window_manager) as x:
        program = x.start([sys.argv[1]], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        x.wait_for_window("Brindle")
        time.sleep(2)  # start-up, the first frames and the daily update check settle
        before, start = cpu_seconds(program.pid), time.monotonic()
        time.sleep(SECONDS)
        used, elapsed = cpu_seconds(program.pid) - before, time.monotonic() - start
        return 100.0 * used / elapsed


def main():
    for window_manager in (False, True):
        share = measure(window_manager)
        where = "with openbox" if window_manager else "without a window manager"
        print(f"idle main window, {where}: {share:.2f}% of one core over {SECONDS} s")


if __name__ == "__main__":
    main()
