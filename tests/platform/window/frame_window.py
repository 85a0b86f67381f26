"""The toolkit's frame in a real Win32 window under wine, driven from the X side.

    frame_window.py DEMO.exe DROPFILE.exe

One session of the demo program (tests/platform/window/FrameWindowDemo.cpp): the painted window equals
the frame's own image; a drag on the knob, a click on the switch, the popup of the option menu
chosen with the keyboard, the open-file dialog chosen by typing and cancelled with Escape, a
file dropped on the window by another process, 50 close/open cycles and a host that destroys
its window first.
"""
import glob
import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from windowtest import (SCREENSHOTS, Image, WineProgram, check, click, find_window, finish, grab_screen,
                        run_wine, settle_dialog, stop_wine, xdo)
import time

demo_exe, drop_exe = sys.argv[1], sys.argv[2]
W, H = 400, 160
shots = os.path.join(SCREENSHOTS, "frame_demo")
os.makedirs(shots, exist_ok=True)


def shot(name):
    return os.path.join(shots, name)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


irs = sorted(glob.glob(os.path.join(os.environ.get("ORVEX_IRS", ""), "rakarrack", "*.wav")))

stop_wine()
demo = WineProgram(demo_exe)
ready = demo.expect(r"^ready (-?\d+) (-?\d+)$", timeout=120)
if not check(ready is not None, "the demo opens its window"):
    finish()
ox, oy = int(ready.group(1)), int(ready.group(2))

# The window shows exactly the frame's image (the host's capture of its client area, with the
# frame's child window in it).
demo.send("capture " + winpath(shot("opened.png")))
demo.expect("^captured")
demo.send("snapshot " + winpath(shot("opened_offscreen.png")))
demo.expect("^snapshot")
opened = Image(shot("opened.png"))
check(not opened.differences(Image(shot("opened_offscreen.png"))), "the painted window equals the frame's image")
grab_screen(shot("opened_screen.png"), ox, oy, W, H)
check(not opened.differences(Image(shot("opened_screen.png"))), "the host's capture equals what X shows")

# Knob: drag right and up from its centre. The tracking loop reads the live mouse state and
# reports each step; the window follows during the drag.
xdo("mousemove", ox + 40, oy + 40)
time.sleep(0.1)
xdo("mousedown", 1)
time.sleep(0.2)
for step in range(1, 11):
    xdo("mousemove", ox + 40 + 3 * step, oy + 40 - step)
    time.sleep(0.05)
time.sleep(0.3)
# Still held: the tracking loop keeps the window drawn (idle and pending paints).
grab_screen(shot("knob_during_drag.png"), ox, oy, W, H)
xdo("mouseup", 1)
time.sleep(0.3)
check(Image(shot("knob_during_drag.png")).differences(opened, area=(20, 20, 60, 60)),
      "the window shows the knob moving while the button is still held")
lines = demo.drain()
values = [float(l.split()[2]) for l in lines if l.startswith("value 1 ")]
check("begin 1" in lines and "end 1" in lines and lines.index("begin 1") < lines.index("end 1"),
      "the knob's drag is one gesture (begin, end)")
check(len(values) >= 3 and values[-1] > 0.25, "the knob's value follows the drag: %s" % values[-3:])
demo.send("capture " + winpath(shot("knob_moved.png")))
demo.expect("^captured")
moved = Image(shot("knob_moved.png"))
check(moved.differences(opened, area=(20, 20, 60, 60)), "the knob is drawn at its new place")
check(not moved.differences(opened, skip=[(20, 20, 60, 60)]), "nothing else changed")

# Wheel: one notch up over the knob raises it by one step, as one gesture.
xdo("mousemove", ox + 40, oy + 40)
time.sleep(0.1)
xdo("click", 4)
time.sleep(0.5)
lines = demo.drain()
wheeled = [float(l.split()[2]) for l in lines if l.startswith("value 1 ")]
check(lines[:1] == ["begin 1"] and len(wheeled) == 1 and wheeled[0] > values[-1] and lines[-1:] == ["end 1"],
      "a wheel notch over the knob raises it: %s" % lines)

# Cursor: the shape the frame chose stays while the pointer moves over the window (each move
# asks the window for its cursor again), and the default brings the arrow back.
demo.send("cursor 9")
for x in (150, 160, 170):
    xdo("mousemove", ox + x, oy + 80)
    time.sleep(0.1)
demo.send("cursor ?")
got = demo.expect("^cursor hand=")
check(got is not None and got.string == "cursor hand=1", "the hand cursor stays over the window")
demo.send("cursor 0")
xdo("mousemove", ox + 180, oy + 80)
time.sleep(0.2)
demo.send("cursor ?")
got = demo.expect("^cursor hand=")
check(got is not None and got.string == "cursor hand=0", "the default cursor comes back")

# Switch: a click toggles it, a second one back.
click(ox + 100, oy + 40)
click(ox + 100, oy + 40)
lines = demo.drain()
check([l for l in lines if l.startswith("value 2 ")] == ["value 2 1.0000", "value 2 0.0000"],
      "a click on the switch toggles it, a second one back")

# Option menu: the native popup opens under it; a keyboard choice picks an entry.
click(ox + 170, oy + 40, settle=1.0)
grab_screen(shot("popup_open.png"), ox, oy, W, H + 100)
popup = Image(shot("popup_open.png"))
check(popup.differences(Image(shot("knob_moved.png")), area=(140, 52, 200, 100)) or
      any(popup.pixel(x, 120) != (50, 56, 64) for x in range(140, 200)), "the popup menu shows below the menu")
xdo("key", "Down")
time.sleep(0.2)
xdo("key", "Return")
got = demo.expect(r"^value 3 ", timeout=5)
check(got is not None and got.string == "value 3 0.0000", "a keyboard choice in the popup picks an entry")
demo.drain()
demo.send("capture " + winpath(shot("latency_chosen.png")))
demo.expect("^captured")
check(Image(shot("latency_chosen.png")).differences(moved, area=(140, 27, 200, 52)), "the menu shows the new entry")

# Load button: the open-file dialog; typing a path and Enter chooses it, Escape cancels.
if check(len(irs) >= 1, "real IRs were fetched (%d)" % len(irs)):
    for answer in ("escape", "type"):
        click(ox + 228, oy + 39, settle=0.2)
        if not check(settle_dialog("Test for open file selector"), "the load button opens the open-file dialog"):
            break
        if answer == "escape":
            xdo("key", "Escape")
            got = demo.expect(r"^(cancel|file )", timeout=10)
            check(got is not None and got.string == "cancel", "Escape cancels the dialog")
        else:
            xdo("type", "--delay", "15", winpath(irs[0]))
            xdo("key", "Return")
            got = demo.expect(r"^(cancel|file )", timeout=10)
            check(got is not None and got.string.lower() == ("file " + winpath(irs[0])).lower(),
                  "a typed path and Enter choose that file")
        demo.drain()

# A file dropped on the window from another process: the views see the drag, nobody takes
# the drop, and the source is told nothing was moved.
if irs:
    out = run_wine(drop_exe, str(ox + 200), str(oy + 130), winpath(irs[0]), timeout=60)
    lines = demo.drain(1.0)
    check("dropped result=0x00040100 effect=0" in out, "the source is told: dropped, no effect")
    check("feedback=2" in out, "while dragging the window showed the move feedback")
    check(any(l.startswith("drag enter") for l in lines) and "drag drop" in lines, "the views saw the drag and drop")

# Close and open 50 times; the objects come back to where they were. wine answers
# GetGuiResources with 0, so the demo also counts for itself: its entries in the GDI handle
# table, its windows and the frame's window class.
COUNTS = r"^counts gdi=(\d+) user=(\d+) owngdi=(-?\d+) windows=(\d+) frameclass=(\d)"
demo.send("counts")
before = demo.expect(COUNTS)
demo.send("cycles 50")
demo.expect("^cycled", timeout=120)
demo.send("counts")
after = demo.expect(COUNTS)
if check(before is not None and after is not None, "the demo counts its objects"):
    print("objects before 50 cycles: %s" % before.string)
    print("objects after 50 cycles:  %s" % after.string)
    check(before.groups() == after.groups(), "50 close/open cycles leak no GDI or USER object")
    check(int(before.group(3)) > 0, "the GDI handle table is readable (own GDI objects counted)")

# The host destroys its window before closing the editor.
demo.send("parentfirst")
got = demo.expect(r"^parentfirst ")
check(got is not None and got.string == "parentfirst registered=1 childgone=1 open=0 targetleft=0 targetrefs=0",
      "a host destroying its window first leaves no window and no registered drop target")

demo.send("capture " + winpath(shot("final.png")))
demo.expect("^captured")
demo.send("quit")
check(demo.expect("^bye") is not None, "the demo closes cleanly")
demo.wait()
stop_wine()
finish()
