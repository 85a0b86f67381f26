"""Two instances of the built plug-in in one host process, both editors open at once in real
windows, as for two guitar tracks: each is driven with the X pointer and must report only its
own automation; a picture of one instance taken on another thread while the user drags a knob
in the other must not disturb that drag; the editors are closed in either order (the other
still driven afterwards) and one instance is unloaded while the other's editor is open; the
process holds afterwards exactly what it held before (X11: descriptors, sockets - one per X
connection - threads, shared-memory images; Windows: GDI and USER objects, windows, threads,
the plug-in's window class, OLE on the host's thread).

    two_editors.py HOST PLUGIN    (HOST: two_editors_host, a .exe runs under wine64)

Runs inside scripts/with-xvfb.sh. Pictures go to $ORVEX_SCREENSHOTS/two_editors/.
"""
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "platform", "window"))
import windowtest  # noqa: E402
from windowtest import Image, WineProgram, check, click, drag, finish, window_geometry, xdo  # noqa: E402

host_exe, plugin = sys.argv[1:3]
WINE = host_exe.lower().endswith(".exe")
W, H = 850, 520
SHOTS = os.path.join(windowtest.SCREENSHOTS, "two_editors")
WORK = os.environ.get("ORVEX_WORK", "two-editors-work")
os.makedirs(SHOTS, exist_ok=True)
os.makedirs(WORK, exist_ok=True)
VOLUME3 = 8                   # the parameter of cab 3's Volume knob
KNOB = (309, 281, 349, 321)   # that knob in the editor: cab 3, the first of the second row


def hostpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\") if WINE else os.path.abspath(path)


class Host(WineProgram):
    """The host program (under wine for the Windows build), speaking lines."""

    def __init__(self):
        import queue
        import threading
        command = ([windowtest.WINE_RUN] if WINE else []) + [host_exe, hostpath(plugin)]
        env = windowtest.wine_env() if WINE else dict(os.environ)
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, env=env, text=True, bufsize=1)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def ask(self, command, answer, timeout=60):
        """Sends a command; the first line matching answer (or an error), or None."""
        self.send(command)
        got = self.expect(r"%s|^error" % answer, timeout=timeout)
        return got if got and not got.string.startswith("error") else None

    def counts(self):
        got = self.ask("counts", r"^counts ")
        return dict(re.findall(r"(\w+)=(-?\d+)", got.string)) if got else {}

    def param(self, name):
        got = self.ask("get %s %d" % (name, VOLUME3), r"^%s param " % name)
        return float(got.string.split()[3]) if got else None


def origin(name):
    g = window_geometry("^two editors %s$" % name)
    return (g[0], g[1]) if g and g[2:] == (W, H) else None


def knob_centre(o):
    return o[0] + (KNOB[0] + KNOB[2]) // 2, o[1] + (KNOB[1] + KNOB[3]) // 2


def turn(o, dx, dy, steps=10):
    """A user's drag on the knob: from its centre by dx, dy (the knob follows dx - dy)."""
    x, y = knob_centre(o)
    drag(x, y, x + dx, y + dy, steps=steps)
    time.sleep(0.3)


def gesture(lines, name):
    """The automation of one instance in lines: begins, ends, values."""
    own = [l.split()[1:] for l in lines if l.startswith(name + " ")]
    return ([l for l in own if l[0] == "begin"], [l for l in own if l[0] == "end"],
            [float(l[2]) for l in own if l[0] == "automate" and int(l[1]) == VOLUME3])


def screen(name):
    """The whole screen (both host windows), kept for looking at."""
    return Image.grab(0, 0, 1280, 1024, os.path.join(SHOTS, name))


def crop(image, o):
    part = Image()
    part.width, part.height = W, H
    part.rgb = b"".join(image.rgb[3 * ((o[1] + y) * image.width + o[0]):3 * ((o[1] + y) * image.width + o[0] + W)]
                        for y in range(H))
    return part


def same(a, b, fields):
    return all(a.get(f) == b.get(f) for f in fields)


if WINE:
    windowtest.stop_wine()
    # What a process holds is compared field by field; these are the ones that must come back.
    KEPT = ("gdi", "user", "owngdi", "windows", "threads", "pluginclass", "ole")
else:
    KEPT = ("fds", "sockets", "threads", "shm")

host = Host()
if not check(host.expect(r"^ready", timeout=120) is not None, "the host starts"):
    finish()

# A first round of the same kind: what the system sets up once per process and keeps (fonts;
# under wine, objects and a thread of its own for the first top-level windows, more for a
# second one open at the same time, and for the first popup menu and its first keyboard
# choice) is not what two instances
# must give back.
warm_png = os.path.join(WORK, "warm_snapshot.png")


def first_round(command, answer):
    if not check(host.ask(command, answer) is not None, "first round: " + command):
        finish()


for command, answer in (("load V", r"^V loaded"), ("load W", r"^W loaded"), ("open V 0 0", r"^V open"),
                        ("open W 430 504", r"^W open")):
    first_round(command, answer)
time.sleep(1.0)
ov = origin("V")
if ov:
    click(ov[0] + 654, ov[1] + 39, settle=1.0) # the latency popup, an entry chosen by keyboard
    xdo("key", "Up")
    time.sleep(0.2)
    xdo("key", "Return")
    time.sleep(0.5)
for command, answer in (("close W", r"^W closed"), ("snapshot W %s 1" % hostpath(warm_png), r"^W snapshots 1"),
                        ("unload V", r"^V unloaded"), ("unload W", r"^W unloaded")):
    first_round(command, answer)
base = host.counts()

check(host.ask("load A", r"^A loaded") and host.ask("load B", r"^B loaded"), "two instances load")
loaded = host.counts()
opened = host.ask("open A 0 0", r"^A open %d %d" % (W, H)) and host.ask("open B 430 504", r"^B open %d %d" % (W, H))
if not check(opened, "both editors open, each in its own host window"):
    finish()
time.sleep(1.0)
oa, ob = origin("A"), origin("B")
if not check(oa and ob, "both host windows are on the screen at their places: %s %s" % (oa, ob)):
    finish()
both = host.counts()
print("counts: before loading       " + str(base))
print("counts: two instances loaded " + str(loaded))
print("counts: both editors open    " + str(both))
if not WINE:
    # Sockets: one X connection per host window, and the plug-in's own.
    connections = int(both["sockets"]) - int(both["hostwindows"]) - int(base["sockets"])
    check(connections == 1, "the two editors share one display connection of the plug-in (%d)" % connections)
    check(int(both["shm"]) - int(base["shm"]) in (0, 2), "each editor has its own shared image, or none (%s)" %
          both["shm"])
else:
    check(both["pluginclass"] == "1", "the plug-in's window class is registered while its editors are open")

# Each instance hears only its own knob: the same knob (Volume3) turned one way in A and the
# other way in B.
host.ask("set A %d 0.5" % VOLUME3, r"^A set")
host.ask("set B %d 0.5" % VOLUME3, r"^B set")
time.sleep(0.5)
host.drain()
turn(oa, 25, -25)
lines_a = host.drain()
turn(ob, -25, 25)
lines_b = host.drain()
va, vb = host.param("A"), host.param("B")
ba, ea, auto_a = gesture(lines_a, "A")
check(len(ba) == 1 and len(ea) == 1 and auto_a and not any(l.startswith("B ") for l in lines_a),
      "a drag in A's window is one gesture of A, and B says nothing: %s" % lines_a)
bb, eb, auto_b = gesture(lines_b, "B")
check(len(bb) == 1 and len(eb) == 1 and auto_b and not any(l.startswith("A ") for l in lines_b),
      "a drag in B's window is one gesture of B, and A says nothing: %s" % lines_b)
check(va is not None and vb is not None and va == auto_a[-1] and vb == auto_b[-1] and va != vb,
      "each instance keeps the value its own knob was turned to (A %s, B %s)" % (va, vb))
dragged = screen("both_turned.png")
pa, pb = crop(dragged, oa), crop(dragged, ob)
check(pa.differences(pb, area=KNOB), "the two windows show their knobs at different angles")

# A popup of A's (its latency menu), chosen with the keyboard: the choice is A's alone, and
# B's window answers the pointer again once the popup is gone.
click(oa[0] + 654, oa[1] + 39, settle=1.0)
screen("a_popup_open.png")
xdo("key", "Up")
time.sleep(0.2)
xdo("key", "Return")
time.sleep(0.5)
lines = host.drain()
check(any(l.startswith("A automate 80 ") for l in lines) and not any(l.startswith("B ") for l in lines),
      "a choice in A's popup automates A's latency only: %s" % lines)
turn(ob, 25, -25)
check(gesture(host.drain(), "B")[2], "B's window answers the pointer after A's popup")

# A picture of B, taken again and again on another thread, while the user drags A's knob: the
# drag must come out exactly as the same drag without it.
host.ask("close B", r"^B closed")
time.sleep(0.3)


def slow_turn_a():
    host.ask("set A %d 0.5" % VOLUME3, r"^A set")
    time.sleep(0.4)
    host.drain()
    turn(oa, 30, -20, steps=30)
    return host.drain(), host.param("A")


alone_lines, alone = slow_turn_a()
snapshot_png = os.path.join(WORK, "b_snapshot.png")
if os.path.exists(snapshot_png):
    os.remove(snapshot_png)
host.send("snapshot B %s 60" % hostpath(snapshot_png))
time.sleep(0.3)
during_lines, during = slow_turn_a()
still_running = not any(l.startswith("B snapshots") for l in during_lines)
done = host.expect(r"^B snapshots (\d+)", timeout=300)
check(still_running, "the pictures were still being taken when the drag ended")
check(done is not None and done.group(1) == "60", "every picture of B is written (%s)" % (done and done.string))
check(os.path.exists(snapshot_png) and Image(snapshot_png).width == W, "B's picture is the editor's size")
bd, ed, auto_d = gesture(during_lines, "A")
check(len(bd) == 1 and len(ed) == 1 and len(auto_d) >= 5,
      "A's drag during the pictures is one whole gesture (%d values)" % len(auto_d))
check(alone is not None and during == alone,
      "it ends at the value the same drag gives without pictures (%s, alone %s)" % (during, alone))
turn(oa, 0, 25)
after = host.drain()
check(gesture(after, "A")[2], "A's window still answers the pointer after the pictures")
screen("a_after_snapshots.png")

# Closed in the order A, B: B stays whole and driven while A goes.
check(host.ask("open B 430 504", r"^B open") is not None, "B's editor opens again")
time.sleep(0.8)
ob = origin("B") or ob
host.ask("close A", r"^A closed")
time.sleep(0.5)
one = host.counts()
turn(ob, -20, 20)
check(gesture(host.drain(), "B")[2], "with A's editor closed, B's still answers the pointer")
screen("b_alone.png")
if WINE:
    check(one["pluginclass"] == "1", "closing one of two editors leaves the window class to the other")
else:
    check(int(one["sockets"]) - int(one["hostwindows"]) - int(base["sockets"]) == 1,
          "closing A's editor leaves B's display connection open")
host.ask("close B", r"^B closed")
time.sleep(0.3)
none = host.counts()
check(same(none, loaded, KEPT), "with both editors closed the process holds what it held before they opened: %s"
      % none)

# Closed in the order B, A, and one instance unloaded while the other's editor is open.
host.ask("open A 0 0", r"^A open")
host.ask("open B 430 504", r"^B open")
time.sleep(0.8)
host.ask("close B", r"^B closed")
host.ask("unload B", r"^B unloaded")
time.sleep(0.3)
turn(oa, 20, -20)
check(gesture(host.drain(), "A")[2], "with B's editor closed and B unloaded, A's editor still answers the pointer")
left = host.counts()
if WINE:
    check(left["pluginclass"] == "1", "unloading one instance leaves the window class to the other's open editor")
screen("a_alone.png")
host.ask("close A", r"^A closed")
host.ask("unload A", r"^A unloaded")
time.sleep(0.3)
end = host.counts()
print("counts: everything unloaded  " + str(end))
check(same(end, base, KEPT), "after both instances are gone the process holds what it held before: %s" % end)
if WINE:
    check(end["pluginclass"] == "0" and end["ole"] == "0",
          "the window class is unregistered and OLE released on the host's thread")

host.send("quit")
check(host.expect(r"^bye", timeout=60) is not None and host.wait(60) == 0, "the host ends cleanly")
if WINE:
    windowtest.stop_wine()
finish()
