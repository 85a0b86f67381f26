#!/usr/bin/env python3
"""Static checks of a 32-bit Windows VST 2.4 plug-in DLL, read from `objdump -p`.

    check_dll.py --objdump i686-w64-mingw32-objdump CHECK DLL

CHECK is one of:
  exports  VSTPluginMain and main are both exported and name the same code (older hosts look
           for main, newer ones for VSTPluginMain; both must reach the one entry point)
  imports  every imported DLL is a system DLL, and nothing is delay-loaded: a runtime or
           library DLL (libgcc, libstdc++, libwinpthread, zlib, libpng) would have to be
           shipped beside the plug-in, and hosts load plug-ins without it
  machine  the file is a 32-bit (i386, PE32) DLL
  resources  the editor's pictures are in the resource section: type "PNG" ids 1 to 23 and
           BITMAP 128, each as large as the file it was made from (with --pictures DIR, the
           folder of png/01.png .. png/23.png and background.bmp; a bitmap resource is the
           file without its 14-byte file header)
  stack    every function that keeps SSE values in 16-byte aligned stack slots can rely on
           that alignment: 32-bit Windows hosts call a plug-in with the stack aligned to 4
           bytes only, and an aligned SSE access to a misaligned slot faults. From the
           disassembly (objdump -d) and the base relocations: such a function must realign
           the stack itself (`and esp, -16` before its first aligned access), or be reached
           only by direct calls from functions that do (never exported, its address never
           stored anywhere, so no host, system callback or function pointer can enter it)

Exit status: 0 when the check holds, 1 when it does not (a line starting with "FAIL:"
says why), 2 when the file cannot be read at all.
"""

import argparse
import bisect
import os
import re
import subprocess
import sys

# System DLLs that every Windows version the plug-in runs on provides. Compared without case.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comdlg32.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "shlwapi.dll", "advapi32.dll", "msvcrt.dll", "ucrtbase.dll", "msimg32.dll",
    "comctl32.dll", "uxtheme.dll", "winmm.dll", "version.dll", "imm32.dll", "ws2_32.dll",
}
SYSTEM_PREFIXES = ("api-ms-win-",)

# Libraries of the toolchain or of our dependencies that must be linked in statically; named
# separately so that the failure says what went wrong.
STATIC_ONLY = ("libgcc", "libstdc++", "libwinpthread", "zlib", "libz", "libpng")


class CheckFailed(Exception):
    pass


def fatal(message):
    print(f"ERROR: {message}", file=sys.stderr)
    sys.exit(2)


def objdump_headers(objdump, dll, check):
    if not os.path.isfile(dll):
        fatal(f"{dll} does not exist")
    try:
        result = subprocess.run([objdump, "-p", dll], capture_output=True, text=True)
    except OSError as error:
        fatal(f"cannot run {objdump}: {error}")
    if result.returncode != 0:
        # The 32-bit objdump knows no other machine's PE format: for the machine check that
        # is the answer, for the others the file cannot be examined at all.
        if check == "machine" and "file format not recognized" in result.stderr:
            raise CheckFailed(f"machine: {objdump} does not recognise the file as a 32-bit PE")
        fatal(f"{objdump} cannot read {dll}: {result.stderr.strip()}")
    return result.stdout


def exports(text):
    """Returns {name: rva} for the exports that name code in this DLL."""
    rva_of_index = {}
    names = {}
    section = None
    for line in text.splitlines():
        if line.startswith("Export Address Table --"):
            section = "addresses"
            continue
        if line.startswith("[Ordinal/Name Pointer] Table"):
            section = "names"
            continue
        if not line.strip():
            section = None
            continue
        if section == "addresses":
            # "[   0] +base[   1] 14b0 Export RVA" (a forwarder says "Forwarder RVA")
            m = re.match(r"\s*\[\s*(\d+)\]\s+\+base\[\s*\d+\]\s+([0-9a-fA-F]+)\s+(\w+) RVA", line)
            if m:
                rva_of_index[int(m.group(1))] = (int(m.group(2), 16), m.group(3))
        elif section == "names":
            # "[   0] VSTPluginMain": the bracket is the name's index into the address table
            m = re.match(r"\s*\[\s*(\d+)\]\s+(?:\+base\[\s*\d+\]\s+)?(?:[0-9a-fA-F]+\s+)?(\S+)\s*$", line)
            if m:
                names[m.group(2)] = int(m.group(1))
    result = {}
    for name, index in names.items():
        if index in rva_of_index:
            rva, kind = rva_of_index[index]
            result[name] = (rva, kind)
    return result


def check_exports(text):
    table = exports(text)
    print("exports: " + ", ".join(f"{n}@{rva:#x}" for n, (rva, _) in sorted(table.items())))
    for name in ("VSTPluginMain", "main"):
        if name not in table:
            raise CheckFailed(f"exports: {name} is not exported")
        rva, kind = table[name]
        if kind != "Export" or rva == 0:
            raise CheckFailed(f"exports: {name} does not name code in this DLL ({kind} RVA {rva:#x})")
    if table["VSTPluginMain"][0] != table["main"][0]:
        raise CheckFailed(f"exports: main ({table['main'][0]:#x}) and VSTPluginMain "
                          f"({table['VSTPluginMain'][0]:#x}) are different addresses")


def imported_dlls(text):
    return [m.group(1) for m in re.finditer(r"^\s*DLL Name:\s*(\S+)", text, re.MULTILINE)]


def data_directory_size(text, number):
    m = re.search(rf"^Entry {number:x} ([0-9a-fA-F]+) ([0-9a-fA-F]+) ", text, re.MULTILINE)
    return int(m.group(2), 16) if m else 0


def check_imports(text):
    dlls = imported_dlls(text)
    print("imports: " + ", ".join(dlls))
    if not dlls:
        raise CheckFailed("imports: no import table found (not a linked DLL?)")
    for dll in dlls:
        low = dll.lower()
        if low.startswith(STATIC_ONLY):
            raise CheckFailed(f"imports: {dll} must be linked statically, not imported")
        if low not in SYSTEM_DLLS and not low.startswith(SYSTEM_PREFIXES):
            raise CheckFailed(f"imports: {dll} is not a system DLL")
    # Delay-loaded DLLs are not listed above but would be required all the same.
    if data_directory_size(text, 0xD) != 0:
        raise CheckFailed("imports: the DLL has a delay-import table")


def check_machine(text):
    fmt = re.search(r"file format (\S+)", text)
    magic = re.search(r"^Magic\s+([0-9a-fA-F]+)", text, re.MULTILINE)
    characteristics = re.search(r"^Characteristics [^\n]*\n((?:\t[^\n]*\n)*)", text, re.MULTILINE)
    fmt = fmt.group(1) if fmt else "unknown"
    magic = magic.group(1).lower() if magic else "unknown"
    flags = characteristics.group(1).split("\n") if characteristics else []
    flags = [f.strip() for f in flags if f.strip()]
    print(f"machine: format {fmt}, optional header magic {magic}, characteristics {', '.join(flags)}")
    if fmt != "pei-i386":
        raise CheckFailed(f"machine: file format is {fmt}, not pei-i386")
    if magic != "010b":
        raise CheckFailed(f"machine: optional header magic is {magic}, not 010b (PE32)")
    if "DLL" not in flags:
        raise CheckFailed("machine: the file is not marked as a DLL")


RT_BITMAP = "2"


def resource_sizes(text):
    """Returns {(type, id): size} from the resource directory that objdump -p prints: types
    and ids as text ("PNG", "2"; "1", "128"), sizes of the first language's data."""
    sizes = {}
    depth_kind = {}
    current_type = current_id = None
    in_section = False
    for line in text.splitlines():
        if line.startswith("The .rsrc Resource Directory section"):
            in_section = True
            continue
        if not in_section:
            continue
        m = re.match(r"^[0-9a-fA-F]+(\s+)(Entry|Leaf): (.*)$", line)
        if not m:
            if not line.strip():
                break
            continue
        depth = len(m.group(1))
        if m.group(2) == "Entry":
            # The shallowest entries name types, the next ids, the next languages.
            depth_kind.setdefault(depth, len(depth_kind))
            level = depth_kind[depth]
            named = re.match(r"name: \[[^]]*\]: (\S+),", m.group(3))
            numbered = re.match(r"ID: 0x([0-9a-fA-F]+),", m.group(3))
            key = named.group(1) if named else str(int(numbered.group(1), 16)) if numbered else None
            if level == 0:
                current_type, current_id = key, None
            elif level == 1:
                current_id = key
        else:
            size = re.search(r"Size: 0x([0-9a-fA-F]+)", m.group(3))
            if size and current_type is not None and current_id is not None:
                sizes.setdefault((current_type, current_id), int(size.group(1), 16))
    return sizes


def check_resources(text, pictures):
    sizes = resource_sizes(text)
    print("resources: " + ", ".join(f"{t}/{i}:{n}" for (t, i), n in sorted(sizes.items())))
    expected = {("PNG", str(i)): os.path.join("png", f"{i:02d}.png") for i in range(1, 24)}
    expected[(RT_BITMAP, "128")] = "background.bmp"
    for (kind, ident), name in expected.items():
        label = f"{'BITMAP' if kind == RT_BITMAP else kind} {ident}"
        if (kind, ident) not in sizes:
            raise CheckFailed(f"resources: {label} is missing")
        if pictures:
            want = os.path.getsize(os.path.join(pictures, name)) - (14 if kind == RT_BITMAP else 0)
            if sizes[(kind, ident)] != want:
                raise CheckFailed(f"resources: {label} holds {sizes[(kind, ident)]} bytes, {name} "
                                  f"gives {want}")


# SSE instructions with a 16-byte memory operand that do not require it to be aligned; every
# other legacy-encoded one faults on a misaligned address (of the VEX forms, only the aligned
# moves do).
UNALIGNED_SSE = {"movups", "movupd", "movdqu", "lddqu", "vmovups", "vmovupd", "vmovdqu", "vlddqu"}
# A realignment of the stack pointer to 16 bytes or more.
REALIGN = re.compile(r"^and\s+esp,0xf+(?:f0|e0|c0|80|00)$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(.*?)\s*$")
LABEL = re.compile(r"^([0-9a-f]+) <(.+)>:$")
BRANCH = re.compile(r"^(?:call|jmp)\s+([0-9a-f]+) <")


def needs_alignment(mnemonic):
    if mnemonic in UNALIGNED_SSE:
        return False
    if mnemonic.startswith("v"):
        return mnemonic.startswith(("vmova", "vmovnt"))
    return True


class Function:
    def __init__(self, name, start):
        self.name = name
        self.start = start
        self.end = start          # one past the last instruction
        self.frame = False        # ebp holds the frame (push ebp; mov ebp,esp)
        self.realigns_at = None   # address of the first realignment of esp
        self.aligned_at = None    # address and text of the first aligned stack access
        self.aligned_text = ""
        self.callees = set()      # start addresses of directly called or jumped-to code


def disassembly(objdump, dll):
    try:
        result = subprocess.run([objdump, "-d", "--no-show-raw-insn", "-M", "intel", dll],
                                capture_output=True, text=True)
    except OSError as error:
        fatal(f"cannot run {objdump}: {error}")
    if result.returncode != 0:
        fatal(f"{objdump} cannot disassemble {dll}: {result.stderr.strip()}")
    return result.stdout


def functions_of(text):
    """The functions of the disassembly (split at symbol labels), each with what the check
    needs: where it realigns the stack and where it first touches an aligned stack slot."""
    functions = []
    current = None
    stack_regs = set()  # registers that hold an address inside the current frame
    for line in text.splitlines():
        label = LABEL.match(line)
        if label:
            current = Function(label.group(2), int(label.group(1), 16))
            functions.append(current)
            stack_regs = set()
            continue
        m = INSTRUCTION.match(line)
        if not m or current is None:
            continue
        address, body = int(m.group(1), 16), m.group(2)
        current.end = address + 1
        parts = body.split(None, 1)
        mnemonic = parts[0]
        operands = parts[1] if len(parts) > 1 else ""
        if mnemonic == "mov" and operands == "ebp,esp":
            current.frame = True
        if REALIGN.match(f"{mnemonic} {operands}") and current.realigns_at is None:
            current.realigns_at = address
        branch = BRANCH.match(body)
        if branch:
            current.callees.add(int(branch.group(1), 16))
        # Registers that point into the frame: esp itself, ebp in a framed function, and
        # any register last loaded with such an address.
        frame_regs = {"esp"} | ({"ebp"} if current.frame else set()) | stack_regs
        dest = operands.split(",", 1)[0] if operands else ""
        if dest in ("eax", "ebx", "ecx", "edx", "esi", "edi", "ebp"):
            source = operands.split(",", 1)[1] if "," in operands else ""
            base = re.match(r"^\[(\w+)", source)
            if (mnemonic == "lea" and base and base.group(1) in frame_regs) or \
               (mnemonic == "mov" and source in frame_regs):
                stack_regs.add(dest)
            elif not (dest == "ebp" and current.frame):
                stack_regs.discard(dest)
        memory = re.search(r"XMMWORD PTR \[(\w+)", operands)
        if memory and memory.group(1) in frame_regs and needs_alignment(mnemonic) \
                and current.aligned_at is None:
            current.aligned_at = address
            current.aligned_text = body
    return functions


def pe_image(dll):
    """(image base, {rva: dword}) of the dwords that the base relocations name: every
    absolute address the image stores, in code or data (vtables, callbacks, pointers)."""
    with open(dll, "rb") as f:
        data = f.read()

    def u16(o):
        return int.from_bytes(data[o:o + 2], "little")

    def u32(o):
        return int.from_bytes(data[o:o + 4], "little")

    pe = u32(0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        fatal(f"{dll} is not a PE file")
    sections, optional_size = u16(pe + 6), u16(pe + 20)
    optional = pe + 24
    if u16(optional) != 0x10B:
        fatal(f"{dll} is not a 32-bit PE file")
    image_base = u32(optional + 28)
    reloc_rva, reloc_size = u32(optional + 96 + 5 * 8), u32(optional + 96 + 5 * 8 + 4)
    table = optional + optional_size
    spans = []
    for i in range(sections):
        h = table + 40 * i
        spans.append((u32(h + 12), max(u32(h + 8), u32(h + 16)), u32(h + 20)))

    def offset(rva):
        for start, size, raw in spans:
            if start <= rva < start + size:
                return raw + rva - start
        return None

    stored = {}
    pos, end = offset(reloc_rva), offset(reloc_rva) + reloc_size if reloc_size else 0
    while pos is not None and pos + 8 <= end:
        page, size = u32(pos), u32(pos + 4)
        if size < 8:
            break
        for k in range(pos + 8, pos + size, 2):
            entry = u16(k)
            if entry >> 12 == 3:  # IMAGE_REL_BASED_HIGHLOW
                at = offset(page + (entry & 0xFFF))
                if at is not None:
                    stored[page + (entry & 0xFFF)] = u32(at)
        pos += size
    return image_base, stored


def check_stack(objdump, dll, headers):
    functions = functions_of(disassembly(objdump, dll))
    if not functions:
        raise CheckFailed("stack: the disassembly names no function (is the DLL stripped?)")
    image_base, stored = pe_image(dll)
    entered = {image_base + rva for rva, _ in exports(headers).values()}
    starts = sorted(f.start for f in functions)
    by_start = {f.start: f for f in functions}

    def owner(address):
        i = bisect.bisect_right(starts, address) - 1
        return by_start[starts[i]] if i >= 0 and address < by_start[starts[i]].end else None

    # Functions whose address is stored somewhere: anything may call them.
    taken = {owner(value).start for value in stored.values() if owner(value)}
    callers = {}
    for f in functions:
        for target in f.callees:
            callee = owner(target)
            if callee is not None and callee is not f:
                callers.setdefault(callee.start, set()).add(f.start)

    def realigned(f):
        return f.realigns_at is not None and (f.aligned_at is None or f.realigns_at < f.aligned_at)

    # Functions that run on a 16-byte aligned stack: those that realign it, and, repeated
    # until nothing changes, those entered only by direct calls from such functions.
    aligned = {f.start for f in functions if realigned(f)}
    changed = True
    while changed:
        changed = False
        for f in functions:
            if f.start in aligned or f.start in entered or f.start in taken:
                continue
            if callers.get(f.start) and callers[f.start] <= aligned:
                aligned.add(f.start)
                changed = True

    users = [f for f in functions if f.aligned_at is not None]
    own = sum(1 for f in users if realigned(f))
    reached = sum(1 for f in users if not realigned(f) and f.start in aligned)
    print(f"stack: {len(functions)} functions, {len(users)} with aligned SSE stack slots: {own} "
          f"realign the stack themselves, {reached} are reached only from aligned code; "
          f"{len(aligned)} functions run on an aligned stack")
    bad = [f for f in users if f.start not in aligned]
    for f in bad:
        why = ("exported" if f.start in entered else "its address is stored" if f.start in taken
               else "called from code that may run misaligned")
        print(f"  {f.name} at {f.start:#x}: {f.aligned_text} at {f.aligned_at:#x}, no realignment, {why}")
    if bad:
        raise CheckFailed(f"stack: {len(bad)} function(s) use aligned SSE stack slots on a stack "
                          f"that may be aligned to 4 bytes only, first {bad[0].name}")


CHECKS = {"exports": check_exports, "imports": check_imports, "machine": check_machine,
          "resources": check_resources}


def main():
    parser = argparse.ArgumentParser(description="Static checks of the 32-bit plug-in DLL")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--pictures", help="folder of the committed pictures (resources check)")
    parser.add_argument("check", choices=sorted(CHECKS) + ["stack"])
    parser.add_argument("dll")
    args = parser.parse_args()
    try:
        headers = objdump_headers(args.objdump, args.dll, args.check)
        if args.check == "resources":
            check_resources(headers, args.pictures)
        elif args.check == "stack":
            check_stack(args.objdump, args.dll, headers)
        else:
            CHECKS[args.check](headers)
    except CheckFailed as failure:
        print(f"FAIL: {failure}")
        return 1
    print(f"OK: {args.check}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
