"""The desktop program as a user meets it, under a real X server with a window manager: a file
named on its command line, files dragged from another program onto the window, a wheel turned
over a short list, the about dialog opened from the menu, a second start that hands its file to
the window, and the window closed with its close button, all through X events; and at a scale of
1.5 on a 1024 x 600 screen, the whole window on the screen and its close button working. Usage:
desktop_test.py BRINDLE DRAG_SOURCE SUPPORT_DIR
"""

import os
import select
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, sys.argv[3])
from xsession import XSession  # noqa: E402

BRINDLE, DRAG_SOURCE = sys.argv[1], sys.argv[2]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def make_pdfs(folder):
    paths = [os.path.join(folder, name) for name in ("locked.pdf", "a.pdf", "b.pdf")]
    for path in paths[1:]:
        subprocess.run(["gs", "-q", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite", f"-sOutputFile={path}",
                        "-c", "/Helvetica findfont 20 scalefont setfont 72 700 moveto (page) show showpage"],
                       check=True)
    subprocess.run(["qpdf", "--encrypt", "secret", "owner", "256", "--", paths[1], paths[0]], check=True)
    return paths


def window_property(x, window, name):
    return x.run(["xprop", "-id", window, name])


def stacked_last(x):
    ids = x.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"]).split("#")[-1].split(",")
    return int(ids[-1], 16) if ids and ids[-1].strip() else 0


def drag(x, source, to):
    sx, sy, sw, sh = x.geometry(source)
    x.run(["xdotool", "mousemove", str(sx + sw // 2), str(sy + sh // 2)])
    x.run(["xdotool", "mousedown", "1"])
    for step in range(1, 11):
        px = sx + sw // 2 + (to[0] - sx - sw // 2) * step // 10
        py = sy + sh // 2 + (to[1] - sy - sh // 2) * step // 10
        x.run(["xdotool", "mousemove", str(px), str(py)])
        time.sleep(0.05)
    time.sleep(0.3)
    x.run(["xdotool", "mouseup", "1"])


def read_line(process, timeout):
    ready, _, _ = select.select([process.stdout], [], [], timeout)
    return process.stdout.readline().strip() if ready else None


def click(x, point, button="1"):
    x.run(["xdotool", "mousemove", str(point[0]), str(point[1])])
    time.sleep(0.1)
    x.run(["xdotool", "click", button])


def close_with_button(x, program, window):
    left, top, width = window
    click(x, (left + width - 24, top + 20))  # the close button
    try:
        code = program.wait(timeout=20)
    except subprocess.TimeoutExpired:
        code = None
    check(code == 0, f"the close button ends the program (exit code {code})")


def small_screen():
    with XSession(window_manager=False, screen="1024x600x24") as x:
        program = x.start([BRINDLE], env=x.env(QT_FONT_DPI="144"), stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
        wx, wy, ww, wh = x.geometry(x.wait_for_window("Brindle"))
        check(wx >= 0 and wy >= 0 and wx + ww <= 1024 and wy + wh <= 600,
              f"at 1.5 the window fits a 1024 x 600 screen ({ww} x {wh} at {wx},{wy})")
        close_with_button(x, program, (wx, wy, ww))


def dismiss_password_prompt(x, what, main_window):
    """Waits for the password prompt a protected file brings up, and cancels it."""
    try:
        prompt = x.wait_for_window("密码", timeout=20)
    except TimeoutError:
        check(False, what)
        return
    check(f"window id # {hex(int(main_window))}" in window_property(x, prompt, "WM_TRANSIENT_FOR"), what)
    x.run(["xdotool", "windowactivate", "--sync", prompt])
    x.run(["xdotool", "key", "Escape"])
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and x.run(["xdotool", "search", "--onlyvisible", "--name", "^密码$"]):
        time.sleep(0.1)


def main():
    small_screen()
    with XSession(window_manager=True) as x, tempfile.TemporaryDirectory() as files:
        pdfs = make_pdfs(files)
        # A protected file named on the command line is taken as a dropped one: it asks for its
        # password over the window.
        program = x.start([BRINDLE, pdfs[0]], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        main_window = x.wait_for_window("Brindle")
        mx, my, mw, mh = x.geometry(main_window)
        check((mw, mh) == (850, 580), f"the main window is 850 x 580 ({mw} x {mh})")
        dismiss_password_prompt(x, "a file on the command line is added as if dropped", main_window)

        source = x.start([DRAG_SOURCE] + pdfs, stdout=subprocess.PIPE, text=True)
        source_window = x.wait_for_window("drag-source")
        x.run(["xdotool", "windowmove", "--sync", source_window, "1120", "640"])
        drag(x, source_window, (mx + 400, my + 250))
        check(read_line(source, 20) == "drop accepted", "the drop is taken and the drag ends")

        # The locked file's password prompt comes after the drag, as the owner's dialog.
        prompt = x.wait_for_window("密码")
        check(f"window id # {hex(int(main_window))}" in window_property(x, prompt, "WM_TRANSIENT_FOR"),
              "the password prompt is transient for the main window")
        check("_NET_WM_WINDOW_TYPE_DIALOG" in window_property(x, prompt, "_NET_WM_WINDOW_TYPE"),
              "the password prompt is a dialog")
        click(x, (mx + 100, my + 300))
        time.sleep(0.5)
        check(stacked_last(x) == int(prompt), "a click on the main window leaves the prompt above it")
        x.run(["xdotool", "windowactivate", "--sync", prompt])
        x.run(["xdotool", "key", "Escape"])
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and x.run(["xdotool", "search", "--onlyvisible", "--name", "^密码$"]):
            time.sleep(0.1)

        # Two rows fit without a scroll bar: the wheel over them must leave the program working.
        for button in ("5", "5", "4"):
            click(x, (mx + 300, my + 130), button)
        click(x, (mx + mw - 120, my + 20))  # the menu button
        time.sleep(0.5)
        click(x, (mx + mw - 144 + 40, my + 40 + 48))  # its second item, "关于我们"
        about = x.wait_for_window("关于", timeout=15)
        check(f"window id # {hex(int(main_window))}" in window_property(x, about, "WM_TRANSIENT_FOR"),
              "the about dialog opens after the wheel, transient for the main window")
        x.run(["xdotool", "windowactivate", "--sync", about])
        x.run(["xdotool", "key", "Escape"])
        time.sleep(0.5)

        # A second start hands its file (named relative to its own folder, and in a folder called
        # like a switch) to the window and ends.
        os.mkdir(os.path.join(files, "uninstall"))
        os.rename(pdfs[0], os.path.join(files, "uninstall", "locked.pdf"))
        second = x.start([BRINDLE, "uninstall/locked.pdf"], cwd=files,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            second_code = second.wait(timeout=20)
        except subprocess.TimeoutExpired:
            second_code = None
        check(second_code == 0, f"a second start with a file ends at once (exit code {second_code})")
        dismiss_password_prompt(x, "the second start's file reaches the first window", main_window)

        close_with_button(x, program, (mx, my, mw))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
