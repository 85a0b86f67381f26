#!/usr/bin/env python3
"""The manual's generated sections: the text between a pair of marker lines

    <!-- BEGIN generated NAME: ...
    <!-- END generated NAME -->

is what orvex_parameter_reference prints for NAME (`reference`, `latency`).

    splice.py check  MANUAL NAME=FILE...       exit 1 (and a diff) when a section is stale
    splice.py write  MANUAL NAME=FILE...       put each FILE between its markers in MANUAL
    splice.py render MANUAL OUT NAME=FILE...   write MANUAL with the sections spliced in to OUT
"""

import difflib
import os
import re
import sys


def find(lines, name, path):
    begin = [i for i, line in enumerate(lines) if re.match(rf"<!-- BEGIN generated {re.escape(name)}\b", line)]
    end = [i for i, line in enumerate(lines) if line.startswith(f"<!-- END generated {name} -->")]
    if len(begin) != 1 or len(end) != 1 or begin[0] > end[0]:
        sys.exit(f"{path}: expected one line starting with '<!-- BEGIN generated {name}' "
                 f"and one '<!-- END generated {name} -->' after it")
    return begin[0], end[0]


def splice(manual, sections, report=None):
    """MANUAL's lines with every section replaced; report(name, old, new) for each."""
    with open(manual, encoding="utf-8") as f:
        lines = f.read().splitlines(keepends=True)
    for name, path in sections:
        with open(path, encoding="utf-8") as f:
            # A blank line on either side keeps the markers out of the tables.
            new = ["\n"] + f.read().splitlines(keepends=True) + ["\n"]
        begin, end = find(lines, name, manual)
        if report:
            report(name, lines[begin + 1 : end], new)
        lines[begin + 1 : end] = new
    return "".join(lines)


def write_atomically(path, text):
    part = path + ".part"
    with open(part, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(part, path)


def main():
    if len(sys.argv) < 4 or sys.argv[1] not in ("check", "write", "render"):
        sys.exit(__doc__)
    command, manual = sys.argv[1:3]
    rest = sys.argv[3:]
    out = None
    if command == "render":
        out, rest = rest[0], rest[1:]
    sections = [tuple(arg.split("=", 1)) for arg in rest]
    if not sections or any(len(s) != 2 for s in sections):
        sys.exit(__doc__)
    stale = []

    def report(name, old, new):
        if old != new:
            stale.append(name)
            if command == "check":
                sys.stdout.writelines(difflib.unified_diff(old, new, f"{manual} ({name}, committed)", "generated"))

    text = splice(manual, sections, report)
    if command == "check":
        if stale:
            print(f"\n{manual}: generated sections are stale: {', '.join(stale)}; rebuild them with "
                  "`cmake --build --preset linux --target orvex_docs_regenerate` and commit them")
            sys.exit(1)
        print(f"{manual}: the generated sections are current: {', '.join(n for n, _ in sections)}")
    elif command == "write":
        if stale:
            write_atomically(manual, text)
    else:
        write_atomically(out, text)


if __name__ == "__main__":
    main()
