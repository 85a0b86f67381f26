#!/usr/bin/env python3
"""The install check of the release archives that `make dist` writes into DIST.

    check_dist.py DIST

Each archive is unpacked into an empty folder, as a user would, and only what is found there
is run: the Linux tarball's orvex renders a riff through its Orvex.so and through its LV2
bundle, the Windows zip's orvex.exe opens its Orvex-x64.dll under wine64 and renders the same
riff, and its 32-bit Orvex.dll gets the static checks of tests/plugin/win32/check_dll.py. The riff and
the IR it is played through come from the build (riffgen) and scripts/example-irs.py; they are
the input, not what is checked. Every SHA256SUMS line is checked, the file lists are exactly
what users are told, and no file may name this checkout or carry a run path.

Prints one line per check (PASS or FAIL dist_...) and exits 1 when any failed.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LINUX_BUILD = os.path.join(ROOT, "build", "linux")
WIN64_BUILD = os.path.join(ROOT, "build", "win64")

WINDOWS_FILES = {"Orvex.dll", "Orvex-x64.dll", "orvex.exe", "manual.html", "README.txt", "LICENSE.txt",
                 "THIRD_PARTY_NOTICES.txt", "SHA256SUMS"}
LINUX_FILES = {"Orvex.so", "Orvex.lv2/manifest.ttl", "Orvex.lv2/orvex.ttl", "Orvex.lv2/orvex_dsp.so",
               "Orvex.lv2/orvex_ui.so", "orvex", "orvex.1", "manual.html", "README", "LICENSE",
               "THIRD_PARTY_NOTICES", "SHA256SUMS"}

failures = []


class Failed(Exception):
    pass


def check(name, function, *args):
    try:
        detail = function(*args)
        print(f"PASS dist_{name}" + (f": {detail}" if detail else ""))
    except Failed as error:
        failures.append(name)
        print(f"FAIL dist_{name}: {error}")


def run(args, cwd, env=None, timeout=300):
    result = subprocess.run(args, cwd=cwd, env=env, capture_output=True, text=True, timeout=timeout)
    if result.returncode != 0:
        raise Failed(f"{' '.join(args)} exited with {result.returncode}:\n{result.stdout}{result.stderr}")
    return result.stdout + result.stderr


def files_below(folder):
    out = set()
    for dirpath, _, filenames in os.walk(folder):
        for name in filenames:
            out.add(os.path.relpath(os.path.join(dirpath, name), folder).replace(os.sep, "/"))
    return out


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def check_sums(folder, listing):
    """Every line of SHA256SUMS matches, and every other file has a line."""
    lines = open(os.path.join(folder, listing), encoding="utf-8", newline="").read().splitlines()
    named = set()
    for line in lines:
        match = re.fullmatch(r"([0-9a-f]{64})  (\S.*)", line)
        if not match:
            raise Failed(f"{listing}: malformed line {line!r}")
        digest, name = match.groups()
        path = os.path.join(folder, name)
        if not os.path.isfile(path) or sha256(path) != digest:
            raise Failed(f"{listing}: {name} does not match its checksum")
        named.add(name)
    missing = files_below(folder) - named - {listing}
    if missing and listing == "SHA256SUMS":
        raise Failed(f"{listing} has no line for {', '.join(sorted(missing))}")
    return f"{len(lines)} files"


def check_files(folder, expected):
    found = files_below(folder)
    if found != expected:
        raise Failed(f"missing {sorted(expected - found)}, unexpected {sorted(found - expected)}")


def check_nothing_of_this_machine(folder):
    """No file names this checkout, and no ELF file carries a run path or fails to load its
    libraries (ldd finds each, none inside this checkout)."""
    needle = ROOT.encode()
    elf = 0
    for name in sorted(files_below(folder)):
        path = os.path.join(folder, name)
        data = open(path, "rb").read()
        if needle in data:
            raise Failed(f"{name} names {ROOT}")
        if data[:4] == b"\x7fELF":
            elf += 1
            dynamic = run(["readelf", "-d", path], folder)
            if re.search(r"\((RPATH|RUNPATH)\)", dynamic):
                raise Failed(f"{name} carries a run path")
            libraries = run(["ldd", path], folder)
            if "not found" in libraries or ROOT in libraries:
                raise Failed(f"ldd {name}:\n{libraries}")
    return "no file names the checkout" + (f"; {elf} ELF files: no run path, every library found" if elf else "")


def check_manual(folder):
    html = open(os.path.join(folder, "manual.html"), encoding="utf-8").read()
    sources = re.findall(r'<img[^>]*\ssrc="([^"]*)"', html)
    if len(sources) < 3 or not all(s.startswith("data:image/png;base64,") for s in sources):
        raise Failed(f"the manual's pictures are not all embedded: {[s[:40] for s in sources]}")
    if re.search(r'<(link|script)[^>]*(href|src)="(?!data:)', html):
        raise Failed("the manual loads a file from elsewhere")
    for needed in ("Parameter reference", "Freq LP1", "Troubleshooting"):
        if needed not in html:
            raise Failed(f"the manual has no {needed!r}")
    return f"{len(sources)} pictures embedded"


def peak(output, channel=1):
    match = re.search(rf"output {channel}: peak ([0-9.]+)", output)
    if not match:
        raise Failed(f"no peak in:\n{output}")
    return float(match.group(1))


def render_checks(folder, inputs, version, reference):
    """The Linux archive: its orvex, its VST2 plug-in, its LV2 bundle."""
    env = {k: v for k, v in os.environ.items() if k not in ("LD_LIBRARY_PATH", "LV2_PATH", "VST_PATH")}
    env["LV2_PATH"] = folder  # the bundle of the archive, and no other

    def version_check():
        said = run(["./orvex", "--version"], folder, env).strip()
        if said != f"orvex {version}":
            raise Failed(f"orvex --version says {said!r}, the archive is {version}")
        return said

    def vst2():
        out = run(["./orvex", "render", "./Orvex.so", "--in", inputs["riff"], "--out", "../wet-vst2.wav",
                   "--ir", "1=" + inputs["ir"], "--strict"], folder, env)
        level = peak(out)
        if not 0.01 < level < 100:
            raise Failed(f"output peak {level}")
        reference["vst2"] = level
        return f"peak {level}"

    def lv2():
        out = run(["./orvex", "render", "./Orvex.lv2", "--in", inputs["riff"], "--out", "../wet-lv2.wav",
                   "--ir", "1=" + inputs["ir"], "--strict"], folder, env)
        same = open(os.path.join(folder, "../wet-lv2.wav"), "rb").read() == \
            open(os.path.join(folder, "../wet-vst2.wav"), "rb").read()
        if not same:
            raise Failed("the LV2 bundle renders other samples than Orvex.so")
        return f"peak {peak(out)}, the same samples as Orvex.so"

    def man_page():
        page = open(os.path.join(folder, "orvex.1"), encoding="utf-8").read()
        if not re.search(r'^\.TH "?ORVEX"? "?1"?', page, re.MULTILINE):
            raise Failed("orvex.1 has no .TH ORVEX 1 line")

    check("linux_version", version_check)
    check("linux_vst2_render", vst2)
    check("linux_lv2_render", lv2)
    check("linux_man_page", man_page)


def windows_checks(folder, inputs, version, reference):
    """The Windows archive: orvex.exe and Orvex-x64.dll under wine64, Orvex.dll statically."""
    checker = [sys.executable, os.path.join(ROOT, "tests", "plugin", "win32", "check_dll.py")]
    objdump32 = shutil.which("i686-w64-mingw32-objdump")
    objdump64 = shutil.which("x86_64-w64-mingw32-objdump")

    def static32():
        for name in ("exports", "imports", "machine"):
            run(checker + ["--objdump", objdump32, name, "Orvex.dll"], folder)
        run(checker + ["--objdump", objdump32, "--pictures", os.path.join(ROOT, "resources"), "resources",
                       "Orvex.dll"], folder)
        return "exports, imports, machine, resources"

    def static64():
        for name in ("Orvex-x64.dll", "orvex.exe"):
            run(checker + ["--objdump", objdump64, "imports", name], folder)
        run(checker + ["--objdump", objdump64, "exports", "Orvex-x64.dll"], folder)
        return "imports of both, exports of the DLL"

    # The wine prefix of the win64 build, when there is one (booting a new one takes long).
    wine = [os.path.join(ROOT, "scripts", "wine-run.sh"), "orvex.exe"]
    env = dict(os.environ)
    env["WINEPREFIX"] = os.path.join(WIN64_BUILD, "wineprefix") if os.path.isdir(WIN64_BUILD) else \
        os.path.join(os.path.dirname(folder), "wineprefix")
    env.pop("DISPLAY", None)

    def version_check():
        said = run(wine + ["--version"], folder, env).strip().splitlines()[-1]
        if said != f"orvex {version}":
            raise Failed(f"orvex.exe --version says {said!r}, the archive is {version}")
        return said

    def info():
        out = run(wine + ["info", "Orvex-x64.dll"], folder, env)
        if not re.search(r"unique ID:\s+OVX2", out) or "parameters:      86" not in out:
            raise Failed(f"orvex.exe info Orvex-x64.dll:\n{out}")
        return "OVX2, 86 parameters"

    def render():
        out = run(wine + ["render", "Orvex-x64.dll", "--in", inputs["riff"], "--out", "../wet-win64.wav",
                          "--ir", "1=" + inputs["ir"], "--strict"], folder, env)
        level = peak(out)
        linux = reference.get("vst2")
        if not 0.01 < level < 100 or (linux and abs(level - linux) > 1e-3 * linux):
            raise Failed(f"output peak {level} (Linux: {linux})")
        return f"peak {level}" + (", as on Linux" if linux else "")

    check("windows_dll32_static", static32)
    check("windows_x64_static", static64)
    check("windows_version", version_check)
    check("windows_x64_info", info)
    check("windows_x64_render", render)


def make_inputs(work):
    """A riff from the build's riffgen and an IR from scripts/example-irs.py, in work/inputs."""
    inputs = os.path.join(work, "inputs")
    os.makedirs(inputs)
    riffgen = os.path.join(LINUX_BUILD, "tools", "riffgen", "riffgen")
    run([riffgen, os.path.join(inputs, "riff.wav"), "--seconds", "2"], work)
    run([sys.executable, os.path.join(ROOT, "scripts", "example-irs.py"), inputs], work)
    os.rename(os.path.join(inputs, "Example 4x12 closed back.wav"), os.path.join(inputs, "cab.wav"))
    # Relative to each unpacked folder (a sibling of inputs/), which every command runs in:
    # both orvex and orvex.exe under wine take them as they are.
    return {"riff": "../inputs/riff.wav", "ir": "../inputs/cab.wav"}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    dist = os.path.abspath(sys.argv[1])
    names = sorted(n for n in os.listdir(dist) if n != "SHA256SUMS")
    windows = [n for n in names if n.endswith("-windows.zip")]
    linux = [n for n in names if n.endswith("-linux-x86_64.tar.gz")]
    if len(windows) != 1 or len(linux) != 1 or len(names) != 2:
        sys.exit(f"check_dist.py: {dist} should hold one Windows zip and one Linux tarball, holds {names}")
    version = re.fullmatch(r"Orvex-(.+)-windows\.zip", windows[0]).group(1)
    if linux[0] != f"Orvex-{version}-linux-x86_64.tar.gz":
        sys.exit(f"check_dist.py: the archives name two versions: {names}")

    work = tempfile.mkdtemp(prefix="orvex-dist-check-")
    try:
        check("archives_sums", check_sums, dist, "SHA256SUMS")
        inputs = make_inputs(work)
        reference = {}

        unpacked = os.path.join(work, "linux")
        os.makedirs(unpacked)
        run(["tar", "-xzf", os.path.join(dist, linux[0])], unpacked)
        folder = os.path.join(unpacked, f"Orvex-{version}-linux-x86_64")
        check("linux_files", check_files, folder, LINUX_FILES)
        check("linux_sums", check_sums, folder, "SHA256SUMS")
        check("linux_nothing_of_this_machine", check_nothing_of_this_machine, folder)
        check("linux_manual", check_manual, folder)
        render_checks(folder, {k: os.path.join("..", v) for k, v in inputs.items()}, version, reference)

        unpacked = os.path.join(work, "windows")
        os.makedirs(unpacked)
        with zipfile.ZipFile(os.path.join(dist, windows[0])) as z:
            z.extractall(unpacked)
        folder = os.path.join(unpacked, f"Orvex-{version}-windows")
        check("windows_files", check_files, folder, WINDOWS_FILES)
        check("windows_sums", check_sums, folder, "SHA256SUMS")
        check("windows_nothing_of_this_machine", check_nothing_of_this_machine, folder)
        windows_checks(folder, {k: os.path.join("..", v) for k, v in inputs.items()}, version, reference)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print(f"dist: {len(failures)} check(s) failed: {', '.join(failures)}")
        sys.exit(1)
    print(f"dist: every check passed for Orvex {version}")


if __name__ == "__main__":
    main()
