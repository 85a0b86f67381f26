#!/usr/bin/env python3
"""Every command and option that `orvex help` names is described in the man page.

    check_man_page.py ORVEX MAN_PAGE_SOURCE
"""

import re
import subprocess
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    orvex, source = sys.argv[1:]
    usage = subprocess.run([orvex, "help"], capture_output=True, text=True, check=True).stdout
    with open(source, encoding="utf-8") as f:
        page = f.read().replace("\\-", "-")
    options = sorted(set(re.findall(r"--[a-z][a-z-]*", usage)))
    commands = sorted(set(re.findall(r"^\s+orvex ([a-z-]+)", usage, re.MULTILINE)))
    missing = [o for o in options if not re.search(r"\*\*" + re.escape(o) + r"\*\*", page)]
    missing += [c for c in commands if not re.search(r"\*\*" + re.escape(c) + r"\*\*", page)]
    if missing:
        print(f"{source} does not describe: {' '.join(missing)}")
        sys.exit(1)
    print(f"{source} describes all {len(options)} options and {len(commands)} commands of `orvex help`")


if __name__ == "__main__":
    main()
