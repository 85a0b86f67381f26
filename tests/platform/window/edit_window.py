"""The product's editor in a real Win32 host window under wine, driven from the X side.

    edit_window.py ORVEX.exe Orvex.dll DEMO.exe DROPFILE.exe

`orvex edit` opens Orvex.dll's editor with two cabs loaded; the script compares the window
with the plug-in's own offscreen picture (`orvex snapshot`), turns the Volume knob of cab 3,
toggles a bypass button, chooses a latency in the native popup with the keyboard, loads an IR
through the open-file dialog (and cancels it once), steps a cab through a folder of three IRs
and drops a file on the window. A second program then opens and closes the editor 50 times
and lets its host window go first, counting GDI and USER objects.
"""
import glob
import os
import shutil
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from windowtest import (SCREENSHOTS, Image, WineProgram, check, click, drag, find_window, finish, grab_screen,
                        run_wine, settle_dialog, stop_wine, wait_gone, window_geometry, xdo)

orvex_exe, plugin_dll, demo_exe, drop_exe = sys.argv[1:5]
W, H = 850, 520
shots = os.path.join(SCREENSHOTS, "editor")
os.makedirs(shots, exist_ok=True)


def shot(name):
    return os.path.join(shots, name)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# Where a cab's control lies: cab 1's rectangle moved 437 pixels per column and 123 per row.
def cab(n, left, top, width, height):
    col, row = (n - 1) % 2, (n - 1) // 2
    return (left + 437 * col, top + 123 * row, left + 437 * col + width, top + 123 * row + height)


def centre(r):
    return ((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)


# Everything that shows text (value labels, folder labels, file menus, the latency menu): the
# only places where the headless picture may draw other glyphs than the window.
TEXT_AREAS = [(731, 61, 776, 76), (684, 61, 729, 76), (639, 27, 669, 52), (633, 61, 678, 76)]
for n in range(1, 7):
    TEXT_AREAS += [cab(n, 83, 124, 267, 17), cab(n, 101, 143, 232, 17)]
    TEXT_AREAS += [cab(n, x, 196, 45, 15) for x in (59, 96, 139, 181, 224, 264, 308)]

irs = sorted(glob.glob(os.path.join(os.environ["ORVEX_IRS"], "rakarrack", "*.wav")))
if not check(len(irs) >= 3, "real IRs were fetched (%d)" % len(irs)):
    finish()
# A folder of exactly three IRs to step through.
three = os.path.join(os.environ["ORVEX_WORK"], "three")
shutil.rmtree(three, ignore_errors=True)
os.makedirs(three)
for name, source in zip(("a.wav", "b.wav", "c.wav"), irs):
    shutil.copyfile(source, os.path.join(three, name))
state = ["--ir", "1=" + winpath(irs[0]), "--ir", "2=" + winpath(irs[1])]

stop_wine()
run_wine(orvex_exe, "snapshot", plugin_dll, "--out", winpath(shot("headless_snapshot.png")), *state, timeout=120)

edit = WineProgram(orvex_exe, "edit", plugin_dll, *state, "--seconds", "400",
                   "--screenshot", winpath(shot("orvex_edit_screenshot.png")), "--after", "1500")
if not check(edit.expect(r"^editor open 850 520$", timeout=120) is not None, "orvex edit opens the editor"):
    finish()
geometry = window_geometry("^orvex edit")
if not check(geometry is not None and geometry[2:] == (W, H), "the host window's client area is the editor's size"):
    finish()
ox, oy = geometry[:2]
time.sleep(1.0)


# Pictures worth looking at afterwards are kept as files; the others stay in memory.
KEEP = {"opened_two_cabs", "volume3_turned", "popup_open", "latency_chosen", "loaded_cab3", "next1"}


def grab(name):
    name = name[:-4]
    return Image.grab(ox, oy, W, H, shot(name + ".png") if name in KEEP else None)


opened = grab("opened_two_cabs.png")
snapshot = Image(shot("headless_snapshot.png"))
diff = opened.differences(snapshot, skip=TEXT_AREAS)
check(not diff, "the window equals the headless snapshot outside text areas (%d pixels differ%s)" %
      (len(diff), ", first " + str(diff[0]) if diff else ""))
# The host's own capture of its client area (the editor's child window in it) is the same.
if check(edit.expect(r"^screenshot ", timeout=15) is not None, "orvex edit takes its screenshot"):
    diff = Image(shot("orvex_edit_screenshot.png")).differences(snapshot, skip=TEXT_AREAS)
    check(not diff, "orvex edit's screenshot equals the headless snapshot outside text areas (%d differ)" % len(diff))


def at(r):
    x, y = centre(r)
    return ox + x, oy + y


# The Volume knob of cab 3: drag up; each step is automated as parameter 8 within one gesture.
volume3 = cab(3, 309, 158, 40, 40)
x, y = at(volume3)
drag(x, y, x + 10, y - 30)
lines = edit.drain()
check("begin 8" in lines and "end 8" in lines and any(l.startswith("automate 8 ") for l in lines),
      "a drag on cab 3's Volume knob automates Volume3 (index 8) in one gesture")
time.sleep(0.3)
turned = grab("volume3_turned.png")
check(turned.differences(opened, area=volume3), "the knob is drawn turned")

# Bypass of cab 1: a click toggles it, a second one back.
bypass1 = cab(1, 360, 115, 58, 43)
click(*at(bypass1))
click(*at(bypass1))
values = [l.split()[2] for l in edit.drain() if l.startswith("automate 36 ")]
check(len(values) == 2 and values[0] != values[1], "clicks on cab 1's bypass toggle it: %s" % values)

# Latency: the native popup opens under the menu; Up and Enter choose its last entry.
latency = (639, 27, 669, 52)
before = grab("before_popup.png")
click(*at(latency), settle=1.0)
popup = grab("popup_open.png")
check(popup.differences(before, area=(600, 52, 760, 140)), "the latency popup is open below the menu")
xdo("key", "Up")
time.sleep(0.2)
xdo("key", "Return")
time.sleep(0.5)
lines = edit.drain()
check(any(l.startswith("automate 80 ") for l in lines), "a keyboard choice in the popup automates Latency (80)")
chosen = grab("latency_chosen.png")
check(chosen.differences(before, area=latency), "the latency menu shows the chosen entry")

# Cab 3's load button: Escape cancels the dialog and the cab's texts stay; a typed path and
# Enter load that file, and the cab's folder and file menu follow it.
load3 = cab(3, 63, 124, 17, 17)
texts3 = [cab(3, 83, 124, 267, 17), cab(3, 101, 143, 232, 17)]
DIALOG = "Test for open file selector"
before = grab("before_load.png")
loaded = None
for answer in ("escape", "type"):
    click(*at(load3), settle=0.2)
    if not check(settle_dialog(DIALOG), "the load button opens the open-file dialog"):
        break
    if answer == "escape":
        xdo("key", "Escape")
        check(wait_gone(DIALOG), "Escape closes the dialog")
        time.sleep(0.5)
        after = grab("load_cancelled.png")
        check(all(not after.differences(before, area=r) for r in texts3), "Escape changes nothing of the cab")
    else:
        xdo("type", "--delay", "15", winpath(os.path.join(three, "b.wav")))
        xdo("key", "Return")
        check(wait_gone(DIALOG), "Enter closes the dialog")
        time.sleep(0.5)
        after = loaded = grab("loaded_cab3.png")
        check(all(after.differences(before, area=r) for r in texts3), "the chosen file shows in cab 3")
    edit.drain()

# The file menu lists the chosen file's folder: previous and next step through its three files
# and wrap around.
menu3 = texts3[1]
prev3, next3 = cab(3, 81, 143, 17, 17), cab(3, 335, 143, 17, 17)


def step(button, name):
    click(*at(button), settle=0.5)
    return grab(name)


if loaded is not None:
    start = loaded
    n1 = step(next3, "next1.png")
    n2 = step(next3, "next2.png")
    n3 = step(next3, "next3.png")
    p1 = step(prev3, "prev1.png")
    p2 = step(prev3, "prev2.png")
    same = lambda a, b: not a.differences(b, area=menu3)
    check(not same(n1, start) and not same(n2, start) and not same(n1, n2), "next shows the folder's other two files")
    check(same(n3, start), "a third next wraps to the first file again")
    check(same(p1, n2) and same(p2, n1), "previous steps back the same way, wrapping too")
edit.drain()

# A file dropped on the editor from another process: nothing changes, no move is reported.
before = grab("before_drop.png")
out = run_wine(drop_exe, str(ox + 600), str(oy + 480), winpath(os.path.join(three, "a.wav")), timeout=60)
check("dropped result=0x00040100 effect=0" in out, "the drop source is told: dropped, no effect")
time.sleep(0.5)
check(not [l for l in edit.drain() if l.startswith("automate")], "the drop automates nothing")
check(not grab("after_drop.png").differences(before), "the drop changes nothing in the editor")

# Closing the window closes the editor.
xdo("key", "alt+F4")
check(edit.expect("^window closed", timeout=15) is not None and edit.expect("^editor closed", timeout=15),
      "closing the host window closes the editor")
edit.wait()

# A host that destroys its window before effEditClose, through the real command.
out = run_wine(orvex_exe, "edit", plugin_dll, "--seconds", "1", "--destroy-window-first", timeout=120)
check("host window destroyed" in out and "editor closed" in out, "orvex edit survives its window going first")

# 50 open/close cycles in one host window, and host windows destroyed before the editor is
# closed, counted in one process. wine keeps a few GDI objects for the first extra top-level
# window of a process, so one round with its own window comes before the first count;
# repeated rounds would show any leak of their own.
COUNTS = r"^counts gdi=(\d+) user=(\d+) owngdi=(-?\d+) windows=(\d+) frameclass=(\d)"
demo = WineProgram(demo_exe)
if check(demo.expect(r"^ready ", timeout=120) is not None, "the counting host starts"):
    demo.send("plugin " + winpath(plugin_dll))
    got = demo.expect(r"^(editor|error)", timeout=60)
    check(got is not None and got.string == "editor child=1 registered=1 classleft=0",
          "the editor registers its drop target and its class goes with it")
    demo.send("pluginparentfirst")
    first = demo.expect(r"^(editor|error)", timeout=60)
    check(first is not None and first.string == "editor child=1 registered=1 childgone=1 targetleft=0 classleft=0",
          "a parent destroyed first takes the editor's window and drop target with it")
    demo.send("counts")
    before = demo.expect(COUNTS)
    demo.send("plugincycles 50")
    cycled = demo.expect(r"^plugincycled ", timeout=300)
    demo.send("counts")
    after = demo.expect(COUNTS)
    demo.send("pluginparentfirst 5")
    again = demo.expect(r"^(editor|error)", timeout=120)
    demo.send("counts")
    last = demo.expect(COUNTS)
    if check(None not in (before, cycled, after, again, last), "the counting host answers"):
        print("editor objects before 50 cycles:        " + before.string)
        print("editor objects after 50 cycles:         " + after.string)
        print("after 5 more parents destroyed first:   " + last.string)
        check(before.groups() == after.groups(), "50 editor open/close cycles leak no GDI or USER object")
        check(before.groups() == last.groups(), "parents destroyed first leak none either")
    demo.send("quit")
    demo.expect("^bye")
    demo.wait()
stop_wine()
finish()
