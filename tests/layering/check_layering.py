#!/usr/bin/env python3
"""Libraries depend downward only: a file may include files of its own folder and of the folders below
it, never of one above. Above drive, nothing includes the controller itself: the panel, the
peripherals and the web API read the drive through drive/drive_view.h and act through
drive/drive_commands.h.

    check_layering.py [--root DIR]   lists every include that breaks the order; status 1 when any does
    check_layering.py --self-test    shows, on a made-up tree, that an upward include is caught
"""

import os
import re
import sys
import tempfile

# Lowest first; folders on one level may include each other.
LEVELS = [
    ["platform", "core"],
    ["config"],
    ["fieldbus"],
    ["drive"],
    ["ui"],
    ["periph"],
    ["web"],
    ["daemon"],
    ["sim", "tools", "bench", "tests"],
]
LEVEL = {folder: level for level, folders in enumerate(LEVELS) for folder in folders}
# Folders that see the drive only through its view and its commands.
NARROW_READERS = ["ui", "periph", "web"]
CONTROLLER_HEADER = "drive/controller.h"
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def problems(root):
    found = []
    for folder, level in sorted(LEVEL.items()):
        top = os.path.join(root, folder)
        for directory, subdirectories, files in os.walk(top):
            subdirectories.sort()
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        included = match.group(1)
                        target = included.split("/", 1)[0]
                        where = "%s:%d" % (os.path.relpath(path, root), number)
                        if target in LEVEL and LEVEL[target] > level:
                            found.append("%s includes %s: %s is above %s" % (where, included, target, folder))
                        elif folder in NARROW_READERS and included == CONTROLLER_HEADER:
                            found.append("%s includes %s: %s reads the drive through its view" %
                                         (where, included, folder))
    return found


def check(root):
    found = problems(root)
    for problem in found:
        print(problem)
    print("%d include(s) against the layering" % len(found))
    return 1 if found else 0


def write(root, path, text):
    path = os.path.join(root, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as file:
        file.write(text)


def self_test():
    failures = []
    with tempfile.TemporaryDirectory() as root:
        write(root, "core/log.h", '#include "platform/clock.h"\n')
        write(root, "drive/pump.cpp", '#include "drive/pump.h"\n#include "fieldbus/smbus.h"\n')
        write(root, "ui/page.cpp", '#include "drive/drive_view.h"\n')
        write(root, "tests/t.cpp", '#include "daemon/daemon.h"\n#include "drive/controller.h"\n')
        if problems(root):
            failures.append("a tree that keeps the order was refused: %s" % problems(root))
        write(root, "drive/sub/alarms.cpp", '// one upward\n#include "ui/layer.h"\n')
        write(root, "core/registry.h", '#  include "daemon/daemon.h"\n')
        write(root, "web/api.cpp", '#include "drive/controller.h"\n')
        expected = [
            "core/registry.h:1 includes daemon/daemon.h: daemon is above core",
            "drive/sub/alarms.cpp:2 includes ui/layer.h: ui is above drive",
            "web/api.cpp:1 includes drive/controller.h: web reads the drive through its view",
        ]
        if problems(root) != expected or check(root) != 1:
            failures.append("upward includes were not all caught: %s" % problems(root))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


def main(arguments):
    if arguments == ["--self-test"]:
        return self_test()
    root = arguments[1] if len(arguments) == 2 and arguments[0] == "--root" else "."
    return check(root)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
