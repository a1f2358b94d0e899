#!/usr/bin/env python3
"""Checks that every include in src/ runs the one way the libraries are built.

Each folder may include headers of its own folder and of the folders listed
for it; the line kinds under comm/ (tty/, net/) never include each other; the
program's folders see the platform only through its public headers, and
include no system header but the C++ standard library's.
Prints each include that breaks this and exits 1; exits 0 when there is none.
"""
import pathlib
import re
import sys

PLATFORM_PUBLIC = {"platform/win32.h", "platform/io.h", "platform/framework/afxwin.h", "platform/framework/afxres.h"}
PROGRAM_FOLDERS = {"serial", "ui", "transfer", "cmdline", "app"}
LINE_KINDS = {"platform/comm/tty", "platform/comm/net"}
# What a line kind takes from the comm layer: the device's line interface and
# the rules and words for settings and errors, and the kernel's queue counts.
LINE_SHARES = {"platform/comm/dcb_rules.h", "platform/comm/settings_refusal.h", "platform/comm/errno_map.h",
               "platform/comm/line.h", "platform/comm/line_backlog.h", "platform/comm/ioctl_count.h"}

# What each folder may include besides itself. The program's folders also
# have the platform's public headers.
MAY_INCLUDE = {
    "platform": set(),
    "platform/kernel": {"platform"},
    "platform/comm": {"platform", "platform/kernel", "platform/comm/tty", "platform/comm/net"},
    # The line kinds below the device: each implements the device's line
    # interface and shares the comm layer's rules and words for settings and
    # errors (LINE_SHARES), never the other kind's code.
    "platform/comm/tty": {"platform", "platform/kernel"},
    "platform/comm/net": {"platform", "platform/kernel"},
    "platform/framework": {"platform", "platform/kernel"},
    "platform/framework/headless": {"platform", "platform/kernel", "platform/framework"},
    "platform/framework/qt": {"platform", "platform/kernel", "platform/framework"},
    "platform/framework/entry": {"platform", "platform/kernel", "platform/framework", "platform/framework/headless"},
    # Linked into the program in sanitizer builds only; it includes nothing.
    "platform/framework/sanitizer": set(),
    "serial": set(),
    "ui": {"serial"},
    "transfer": {"serial", "ui"},
    "cmdline": {"serial", "ui"},
    "app": {"ui", "cmdline"},  # the help and version switches are answered before the window starts
}

QUOTED = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
ANGLED = re.compile(r"^\s*#\s*include\s+<([^>]+)>", re.MULTILINE)
STANDARD_LIBRARY = re.compile(r"^[a-z_]+$")  # <cstdio>, <string>: no ".h", no folder


def faults_of(source, folder, text):
    allowed = MAY_INCLUDE[folder]
    for header in QUOTED.findall(text):
        target = str(pathlib.PurePosixPath(header).parent)
        if target == folder or target in allowed:
            continue
        if folder in PROGRAM_FOLDERS and header in PLATFORM_PUBLIC:
            continue
        if folder in LINE_KINDS and header in LINE_SHARES:
            continue
        yield f'{source}: includes "{header}", which {folder}/ does not build on'
    if folder in PROGRAM_FOLDERS:
        for header in ANGLED.findall(text):
            if not STANDARD_LIBRARY.match(header):
                yield f"{source}: includes <{header}>; only the platform knows the system"


def main():
    src = pathlib.Path(sys.argv[1])
    faults = []
    for source in sorted(src.rglob("*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        folder = str(source.parent.relative_to(src))
        if folder not in MAY_INCLUDE:
            faults.append(f"{source}: folder {folder}/ has no place in the layers")
            continue
        faults.extend(faults_of(source.relative_to(src), folder, source.read_text()))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
