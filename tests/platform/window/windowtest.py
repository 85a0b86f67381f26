"""Helpers of the windowed checks: a Windows program under wine that talks in lines, the X
pointer and keyboard through xdotool, and pictures through ImageMagick.

Runs inside scripts/with-xvfb.sh, so DISPLAY names a private Xvfb server. The windowed checks
have a wine prefix of their own (ORVEX_WINE_PREFIX), whose wine server is stopped at the end so
that the next check starts against its own display.
"""
import os
import queue
import re
import subprocess
import sys
import threading
import time

WINE_RUN = os.environ.get("ORVEX_WINE_RUN", "")  # only the Windows checks run programs under wine
SCREENSHOTS = os.environ.get("ORVEX_SCREENSHOTS", ".")
FAILURES = []
STARTED = time.time()


def wine_env():
    env = dict(os.environ)
    env["WINEPREFIX"] = os.environ["ORVEX_WINE_PREFIX"]
    return env


def stop_wine():
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=wine_env(), stderr=subprocess.DEVNULL)
    subprocess.run(["/usr/lib/wine/wineserver", "-w"], env=wine_env(), stderr=subprocess.DEVNULL)


def check(condition, what):
    print("%s %5.1fs  %s" % ("ok:  " if condition else "FAIL:", time.time() - STARTED, what), flush=True)
    if not condition:
        FAILURES.append(what)
    return condition


def finish():
    if FAILURES:
        print("%d check(s) failed:" % len(FAILURES))
        for f in FAILURES:
            print("  " + f)
        sys.exit(1)
    print("all checks passed")
    sys.exit(0)


class WineProgram:
    """A Windows program under wine whose stdout lines are collected as they come."""

    def __init__(self, *args):
        self.proc = subprocess.Popen([WINE_RUN] + list(args), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, env=wine_env(), text=True, bufsize=1)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            line = line.rstrip("\r\n")
            print("  | " + line, flush=True)
            self.lines.put(line)
        self.lines.put(None)

    def send(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()

    def expect(self, pattern, timeout=20.0):
        """The first line matching pattern (a regex), or None after timeout."""
        deadline = time.time() + timeout
        while True:
            left = deadline - time.time()
            if left <= 0:
                return None
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                return None
            if line is None:
                return None
            self.seen.append(line)
            m = re.search(pattern, line)
            if m:
                return m

    def drain(self, settle=0.5):
        """Lines that arrive until nothing comes for `settle` seconds."""
        got = []
        while True:
            try:
                line = self.lines.get(timeout=settle)
            except queue.Empty:
                return got
            if line is None:
                return got
            self.seen.append(line)
            got.append(line)

    def wait(self, timeout=30):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return None


def run_wine(*args, timeout=60):
    done = subprocess.run([WINE_RUN] + list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          env=wine_env(), text=True, timeout=timeout)
    for line in done.stdout.splitlines():
        print("  > " + line, flush=True)
    return done.stdout


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def click(x, y, settle=0.4):
    xdo("mousemove", x, y)
    time.sleep(0.1)
    xdo("click", 1)
    time.sleep(settle)


def drag(x0, y0, x1, y1, steps=10):
    """Button down at one point, moves in steps, button up at the other: a user's drag."""
    xdo("mousemove", x0, y0)
    time.sleep(0.1)
    xdo("mousedown", 1)
    time.sleep(0.2)
    for i in range(1, steps + 1):
        xdo("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
        time.sleep(0.05)
    time.sleep(0.2)
    xdo("mouseup", 1)
    time.sleep(0.3)


def find_window(title, timeout=10.0):
    """X window id of a visible window with this exact title, or None."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.split()
        if out:
            return out[-1]
        time.sleep(0.2)
    return None


def grab_screen(path, x, y, w, h):
    """The screen rectangle, as the X server shows it, into a PNG file."""
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    subprocess.run(["import", "-silent", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path],
                   check=True)


class Image:
    """An RGB picture read through ImageMagick: from a file, or (grab) from the screen."""

    def __init__(self, path=None):
        if path is None:
            return
        size = subprocess.run(["identify", "-format", "%w %h", path], stdout=subprocess.PIPE, check=True,
                              text=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        self.rgb = subprocess.run(["convert", path, "-alpha", "off", "-depth", "8", "rgb:-"], stdout=subprocess.PIPE,
                                  check=True).stdout

    @staticmethod
    def grab(x, y, w, h, keep=None):
        """The screen rectangle as the X server shows it; also written to the PNG file `keep`."""
        image = Image()
        image.width, image.height = w, h
        image.rgb = subprocess.run(["import", "-silent", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                                    "+repage", "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True).stdout
        if keep:
            os.makedirs(os.path.dirname(keep) or ".", exist_ok=True)
            subprocess.run(["convert", "-size", "%dx%d" % (w, h), "-depth", "8", "rgb:-", keep], input=image.rgb,
                           check=True)
        return image

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def differences(self, other, skip=(), area=None):
        """Pixels that differ, outside the rectangles in skip, within area (default all)."""
        if (self.width, self.height) != (other.width, other.height):
            return [("size", (self.width, self.height), (other.width, other.height))]
        x0, y0, x1, y1 = area or (0, 0, self.width, self.height)
        found = []
        for y in range(y0, y1):
            a, b = 3 * (y * self.width + x0), 3 * (y * self.width + x1)
            if self.rgb[a:b] == other.rgb[a:b]:
                continue
            for x in range(x0, x1):
                if any(l <= x < r and t <= y < b for (l, t, r, b) in skip):
                    continue
                if self.pixel(x, y) != other.pixel(x, y):
                    found.append((x, y, self.pixel(x, y), other.pixel(x, y)))
        return found


def window_geometry(title_regex, timeout=15.0):
    """(x, y, width, height) on the screen of the X window of a visible window whose title
    matches; wine's X window of a top-level window is its client area. None if not found."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title_regex], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True).stdout.split()
        if ids:
            out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ids[-1]], stdout=subprocess.PIPE,
                                 text=True).stdout
            g = dict(line.split("=", 1) for line in out.split() if "=" in line)
            return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])
        time.sleep(0.2)
    return None


def settle_dialog(title, timeout=15.0):
    """Waits for a dialog with this title and puts the pointer over it: without a window
    manager the X keyboard focus follows the pointer, so keys typed next go to the dialog.
    True when the dialog is there."""
    g = window_geometry("^%s$" % re.escape(title), timeout=timeout)
    if g is None:
        return False
    xdo("mousemove", g[0] + g[2] // 2, g[1] + 12)
    time.sleep(1.0) # the dialog fills its lists after it shows
    return True


def wait_gone(title, timeout=10.0):
    """Waits until no visible window has this exact title; True when it is gone."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if find_window(title, timeout=0.1) is None:
            return True
        time.sleep(0.1)
    return False
