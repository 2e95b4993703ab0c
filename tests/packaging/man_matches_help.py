#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Each manual page describes exactly the options its program's --help lists.

    man_matches_help.py PROGRAM PAGE.1.in [PROGRAM PAGE.1.in ...]
"""
import re
import subprocess
import sys

# Listed by Qt's parser for every program; it shows Qt's own options, which the pages mention
# in passing rather than one by one.
QT_ONLY = {"--help-all"}


def help_options(program):
    text = subprocess.run([program, "--help"], capture_output=True, text=True, check=True).stdout
    options, section = set(), None
    for line in text.splitlines():
        if line and not line.startswith(" "):
            section = line.rstrip(":")
            continue
        if section in ("Options", "Arguments"):
            m = re.match(r"\s+(?:-\w, )?(--[a-z][a-z0-9-]*)", line)
            if m:
                options.add(m.group(1))
    return options - QT_ONLY


def page_options(page):
    options, in_options, after_tp = set(), False, False
    for line in open(page, encoding="utf-8"):
        if line.startswith(".SH"):
            in_options = line.split(None, 1)[1].strip() == "OPTIONS"
            continue
        if in_options and after_tp:
            for name in re.findall(r"\\-\\-([a-z][a-z0-9\\-]*)", line):
                options.add("--" + name.replace("\\-", "-"))
        after_tp = in_options and line.startswith(".TP")
    return options


def main(args):
    failed = False
    for program, page in zip(args[0::2], args[1::2]):
        said, written = help_options(program), page_options(page)
        for missing in sorted(said - written):
            print(f"{page}: no entry for {missing}, which {program} --help lists")
            failed = True
        for stale in sorted(written - said):
            print(f"{page}: an entry for {stale}, which {program} --help does not list")
            failed = True
        if not failed:
            print(f"{page}: {len(written)} options, as --help lists them")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
