#!/usr/bin/env python3
"""Packs the release archives from the built presets, one per platform, into dist/:

    Orvex-VERSION-windows.zip           Orvex.dll (32-bit, build/win32), Orvex-x64.dll and
                                        orvex.exe (64-bit, build/win64)
    Orvex-VERSION-linux-x86_64.tar.gz   Orvex.so, Orvex.lv2/, orvex and orvex.1 (build/linux)
    SHA256SUMS                          of the two archives

Each archive holds one folder named like it, with the binaries (stripped: no symbols, no
debug information and with it no path of this machine), manual.html, a README for users,
LICENSE, THIRD_PARTY_NOTICES (what is linked in statically, with the licences taken from the
Debian packages it came from; what the Linux files load at run time) and SHA256SUMS of every
other file. VERSION is what the built `orvex --version` says: every preset must have been
built from the same tree. The archives are the same bytes for the same inputs (sorted
entries, fixed times and owners).

    scripts/dist.py [--out DIR]       (run from anywhere; `make dist` builds the presets first)
"""

import argparse
import gzip
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import textwrap
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = {name: os.path.join(ROOT, "build", name) for name in ("linux", "win32", "win64")}
COMMIT_TIME = 0  # seconds since 1970 of the commit built; set by main()


def fail(message):
    sys.exit(f"dist.py: {message}")


def run(*args, cwd=None, env=None):
    result = subprocess.run(args, capture_output=True, text=True, cwd=cwd, env=env)
    if result.returncode != 0:
        fail(f"{' '.join(args)} failed:\n{result.stderr}")
    return result.stdout


def need(path, what):
    if not os.path.exists(path):
        fail(f"{path} is missing ({what}); `make dist` builds it")
    return path


def version_of_header(build):
    header = os.path.join(build, "generated", "OrvexVersion.h")
    if not os.path.exists(header):
        return None
    match = re.search(r'ORVEX_VERSION_STRING "([^"]*)"', open(header).read())
    return match.group(1) if match else None


def the_version():
    orvex = need(os.path.join(BUILD["linux"], "tools", "orvex", "orvex"), "the linux preset")
    version = run(orvex, "--version").split()[-1]
    for name in ("win32", "win64"):
        other = version_of_header(BUILD[name])
        if other is not None and other != version:
            fail(f"build/{name} was built from {other}, build/linux from {version}: build both again")
    return version


def commit_time():
    """The time of the commit built: the archives' file times, so that they do not change
    from one run to the next."""
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True)
        return int(out.stdout.strip())
    except (OSError, ValueError):
        return 315532800  # 1980-01-01, the earliest time a zip file can hold


def copy_stripped(source, target, strip):
    shutil.copyfile(source, target)
    # A PE file's header gets the time of the strip, unless SOURCE_DATE_EPOCH names another:
    # the commit's, so that packing the same build twice gives the same bytes.
    run(strip, "--strip-unneeded", target, env=dict(os.environ, SOURCE_DATE_EPOCH=str(COMMIT_TIME)))
    os.chmod(target, 0o755)


def write_text(path, text, crlf=False):
    if crlf:
        text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def files_below(folder):
    out = []
    for dirpath, dirnames, filenames in os.walk(folder):
        dirnames.sort()
        for name in sorted(filenames):
            out.append(os.path.relpath(os.path.join(dirpath, name), folder).replace(os.sep, "/"))
    return sorted(out)


def write_sums(folder, crlf=False):
    lines = [f"{sha256(os.path.join(folder, name))}  {name}\n" for name in files_below(folder)]
    write_text(os.path.join(folder, "SHA256SUMS"), "".join(lines), crlf)


def package_version(package):
    # One line per installed architecture (a multiarch library may be there twice).
    out = subprocess.run(["dpkg-query", "-W", "-f=${Version}\n", package], capture_output=True, text=True)
    versions = out.stdout.split() if out.returncode == 0 else []
    return versions[0] if versions else "not installed"


def bullet(text):
    return textwrap.fill(text, width=90, initial_indent="- ", subsequent_indent="  ", break_on_hyphens=False) + "\n"


def copyright_text(package):
    path = f"/usr/share/doc/{package}/copyright"
    if not os.path.exists(path):
        fail(f"{path} is missing: the notices quote it (scripts/install-deps.sh installs {package})")
    return open(path, encoding="utf-8", errors="replace").read()


def licences(packages):
    """The copyright files of the Debian packages the parts came from, one after another."""
    text = ""
    for title, package in packages:
        text += "\n" + "=" * 90 + "\n"
        text += f"{title}\n(from /usr/share/doc/{package}/copyright, Debian package {package} "
        text += f"{package_version(package)})\n" + "=" * 90 + "\n\n"
        text += copyright_text(package).rstrip() + "\n"
    return text


DEJAVU = """The editor's pictures (built into every plug-in file) carry text drawn with the DejaVu
fonts: DejaVu Sans, DejaVu Sans Bold and DejaVu Serif Bold (Debian package fonts-dejavu-core
{version}). Their licence (Bitstream Vera and public-domain changes) is reproduced below.
"""


def windows_notices(version):
    deps = {}
    stamp = os.path.join(BUILD["win32"], "deps", "orvex-deps.txt")
    if os.path.exists(stamp):
        for line in open(stamp):
            key, _, value = line.strip().partition("=")
            deps[key] = value
    gcc = package_version("g++-mingw-w64-i686-posix")
    parts = [
        f"libpng, built from the Debian source package {deps.get('libpng-source', 'libpng1.6')} with "
        f"Debian's security patches ({deps.get('libpng-patches', 'none').replace('.patch', '')}): "
        "the libpng licence.",
        f"zlib, from Debian's {deps.get('zlib', 'libz-mingw-w64-dev')}: the zlib licence.",
        "The mingw-w64 runtime (the C runtime's start-up code and winpthreads, the threads library), "
        f"from the Debian packages mingw-w64-i686-dev and mingw-w64-x86-64-dev "
        f"{package_version('mingw-w64-i686-dev')}: mostly the Zope Public Licence 2.1, MIT and public "
        "domain, as listed below.",
        f"The GCC runtime libraries libgcc and libstdc++ of GCC (g++-mingw-w64 {gcc}): GPL 3 with the "
        "GCC Runtime Library Exception, which allows them in programs under any licence.",
    ]
    text = f"""Orvex {version} for Windows: third-party software
{'=' * 90}

Orvex's own code is under the MIT licence (LICENSE.txt). Orvex.dll, Orvex-x64.dll and
orvex.exe import nothing but Windows' own system DLLs: everything else they need is linked
into them, and these parts of others with it:

{''.join(bullet(p) for p in parts)}
{DEJAVU.format(version=package_version('fonts-dejavu-core'))}
The editor draws its other texts (values, file names) with Windows' own fonts.
"""
    return text + licences([
        ("libpng", "libpng16-16"),
        ("zlib (the static library for mingw-w64)", "libz-mingw-w64-dev"),
        ("The mingw-w64 runtime, winpthreads among it", "mingw-w64-i686-dev"),
        ("The GCC runtime libraries (libgcc, libstdc++)", "gcc-mingw-w64-base"),
        ("The DejaVu fonts", "fonts-dejavu-core"),
    ])


def elf_needs(path):
    """NEEDED entries of an ELF file; fails on an RPATH or RUNPATH, which would name a folder of
    the machine it was built on."""
    dynamic = run("readelf", "-d", path)
    if re.search(r"\((RPATH|RUNPATH)\)", dynamic):
        fail(f"{path} carries an RPATH or RUNPATH")
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)


def debian_package_of(soname):
    for line in run("ldconfig", "-p").splitlines():
        match = re.match(rf"\s*{re.escape(soname)} \(libc6,x86-64[^)]*\) => (\S+)", line)
        if match:
            path = os.path.realpath(match.group(1))
            for candidate in (path, path.replace("/usr/lib/", "/lib/", 1), path.replace("/lib/", "/usr/lib/", 1)):
                out = subprocess.run(["dpkg", "-S", candidate], capture_output=True, text=True)
                if out.returncode == 0:
                    return out.stdout.split(":")[0]
    return "?"


def newest_glibc(path):
    symbols = run("objdump", "-T", path)
    versions = set(re.findall(r"GLIBC_(\d+(?:\.\d+)+)", symbols))
    return max(versions, key=lambda v: tuple(int(p) for p in v.split("."))) if versions else None


def linux_notices(version, folder):
    rows = []
    glibc = []
    for name in files_below(folder):
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            if f.read(4) != b"\x7fELF":
                continue
        needs = elf_needs(path)
        rows.append(f"  {name}\n" + "".join(f"      {so:24} (Debian/Ubuntu: {debian_package_of(so)})\n" for so in needs))
        newest = newest_glibc(path)
        if newest:
            glibc.append(newest)
    glibc_needed = max(glibc, key=lambda v: tuple(int(p) for p in v.split("."))) if glibc else "?"
    text = f"""Orvex {version} for Linux (x86-64): third-party software
{'=' * 90}

Orvex's own code is under the MIT licence (LICENSE). Nothing of others is linked into
Orvex.so, Orvex.lv2 or orvex: each loads these shared libraries of your system when it
starts (the Debian and Ubuntu packages that hold them in brackets). They were built on
Debian 12 and need the GNU C library {glibc_needed} or newer.

{''.join(rows)}
libpng loads zlib (zlib1g); lilv, which orvex uses to load LV2 plug-ins, loads serd, sord and
sratom. At run time the editor also uses the DejaVu fonts (fonts-dejavu-core), which it finds
through fontconfig, and, for a cab's load button, the program zenity or kdialog.

{DEJAVU.format(version=package_version('fonts-dejavu-core'))}"""
    return text + licences([("The DejaVu fonts", "fonts-dejavu-core")])


def fill_readme(version):
    return open(os.path.join(ROOT, "docs", "dist", "README"), encoding="utf-8").read().replace("@VERSION@", version)


def common_files(folder, version, windows):
    docs = os.path.join(BUILD["linux"], "docs")
    shutil.copyfile(need(os.path.join(docs, "manual.html"), "the manual, rendered by the linux preset"),
                    os.path.join(folder, "manual.html"))
    suffix = ".txt" if windows else ""
    write_text(os.path.join(folder, "README" + suffix), fill_readme(version), windows)
    write_text(os.path.join(folder, "LICENSE" + suffix), open(os.path.join(ROOT, "LICENSE")).read(), windows)


def stage_windows(stage, version):
    folder = os.path.join(stage, f"Orvex-{version}-windows")
    os.makedirs(folder)
    copy_stripped(need(os.path.join(BUILD["win32"], "Orvex.dll"), "the win32 preset"),
                  os.path.join(folder, "Orvex.dll"), "i686-w64-mingw32-strip")
    copy_stripped(need(os.path.join(BUILD["win64"], "Orvex.dll"), "the win64 preset"),
                  os.path.join(folder, "Orvex-x64.dll"), "x86_64-w64-mingw32-strip")
    copy_stripped(need(os.path.join(BUILD["win64"], "tools", "orvex", "orvex.exe"), "the win64 preset"),
                  os.path.join(folder, "orvex.exe"), "x86_64-w64-mingw32-strip")
    common_files(folder, version, windows=True)
    write_text(os.path.join(folder, "THIRD_PARTY_NOTICES.txt"), windows_notices(version), crlf=True)
    write_sums(folder, crlf=True)
    return folder


def stage_linux(stage, version):
    folder = os.path.join(stage, f"Orvex-{version}-linux-x86_64")
    os.makedirs(folder)
    linux = BUILD["linux"]
    copy_stripped(need(os.path.join(linux, "Orvex.so"), "the linux preset"), os.path.join(folder, "Orvex.so"), "strip")
    bundle = need(os.path.join(linux, "lv2", "Orvex.lv2"), "the linux preset")
    os.makedirs(os.path.join(folder, "Orvex.lv2"))
    for name in sorted(os.listdir(bundle)):
        target = os.path.join(folder, "Orvex.lv2", name)
        if name.endswith(".so"):
            copy_stripped(os.path.join(bundle, name), target, "strip")
        else:
            shutil.copyfile(os.path.join(bundle, name), target)
    copy_stripped(os.path.join(linux, "tools", "orvex", "orvex"), os.path.join(folder, "orvex"), "strip")
    shutil.copyfile(need(os.path.join(linux, "docs", "orvex.1"), "the man page, rendered by the linux preset"),
                    os.path.join(folder, "orvex.1"))
    common_files(folder, version, windows=False)
    write_text(os.path.join(folder, "THIRD_PARTY_NOTICES"), linux_notices(version, folder))
    write_sums(folder)
    return folder


def executable(path):
    return os.access(path, os.X_OK) and not os.path.isdir(path)


def write_zip(folder, target, when):
    base = os.path.dirname(folder)
    stamp = max(when, 315532800)
    date_time = tuple(time.gmtime(stamp)[:6])
    part = target + ".part"
    with zipfile.ZipFile(part, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name in files_below(folder):
            path = os.path.join(folder, name)
            info = zipfile.ZipInfo(os.path.relpath(path, base).replace(os.sep, "/"), date_time)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = ((0o755 if executable(path) else 0o644) | 0o100000) << 16
            info.create_system = 3
            with open(path, "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)
    os.replace(part, target)


def write_tarball(folder, target, when):
    base = os.path.dirname(folder)
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.GNU_FORMAT) as tar:
        paths = [folder]
        for dirpath, dirnames, filenames in os.walk(folder):
            dirnames.sort()
            paths += [os.path.join(dirpath, d) for d in dirnames]
            paths += [os.path.join(dirpath, f) for f in sorted(filenames)]
        for path in sorted(paths, key=lambda p: os.path.relpath(p, base)):
            info = tar.gettarinfo(path, os.path.relpath(path, base))
            info.mtime = when
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            info.mode = 0o755 if os.path.isdir(path) or executable(path) else 0o644
            if info.isfile():
                with open(path, "rb") as f:
                    tar.addfile(info, f)
            else:
                tar.addfile(info)
    part = target + ".part"
    with open(part, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0, compresslevel=9) as gz:
            gz.write(buffer.getvalue())
    os.replace(part, target)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", default=os.path.join(ROOT, "dist"))
    args = parser.parse_args()
    version = the_version()
    if version.endswith("-dirty"):
        print(f"dist.py: warning: the tree has uncommitted changes ({version})", file=sys.stderr)
    global COMMIT_TIME
    when = COMMIT_TIME = commit_time()
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    # Archives of earlier versions would make dist/ ambiguous; only files of ours go.
    for name in os.listdir(out):
        if re.fullmatch(r"Orvex-.*\.(zip|tar\.gz)|SHA256SUMS", name):
            os.remove(os.path.join(out, name))
    stage = tempfile.mkdtemp(prefix="orvex-dist-")
    try:
        archives = []
        windows = stage_windows(stage, version)
        archives.append(os.path.join(out, os.path.basename(windows) + ".zip"))
        write_zip(windows, archives[-1], when)
        linux = stage_linux(stage, version)
        archives.append(os.path.join(out, os.path.basename(linux) + ".tar.gz"))
        write_tarball(linux, archives[-1], when)
    finally:
        shutil.rmtree(stage, ignore_errors=True)
    write_text(os.path.join(out, "SHA256SUMS"),
               "".join(f"{sha256(a)}  {os.path.basename(a)}\n" for a in archives))
    for archive in archives:
        print(f"dist: {os.path.relpath(archive, ROOT)} ({os.path.getsize(archive) // 1024} KiB)")
    print(f"dist: {os.path.relpath(os.path.join(out, 'SHA256SUMS'), ROOT)}")


if __name__ == "__main__":
    main()
