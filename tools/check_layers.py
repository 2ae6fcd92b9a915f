#!/usr/bin/env python3
"""Checks the include graph of src/ against the layers: the native layer is the bottom and
includes nothing of ours and no Qt; the core includes neither the application nor Qt; the
widget program (src/widgets) builds on the core and Qt alone, never the application or the
native layer; and a native/linux header is included only inside src/native/linux. Exits 1 and
lists every include that breaks a rule.
"""
import os
import re
import sys

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]', re.M)
QT = re.compile(r"^Q[A-Za-z]+$|^Qt[A-Za-z]*/")


def broken(layer, folder, header):
    """Why including `header` from a file of `layer` in `folder` breaks a rule, or None."""
    ours = header.split("/")[0] in ("core", "app", "native", "widgets")
    if header.startswith("native/linux/") and not folder.startswith("src/native/linux"):
        return "a native/linux header outside the Linux layer"
    if layer == "native" and (ours and not header.startswith("native/") or QT.match(header)):
        return "the native layer includes nothing of ours and no Qt"
    if layer == "core" and (header.startswith(("app/", "widgets/")) or QT.match(header)):
        return "the core includes neither the programs above it nor Qt"
    if layer == "widgets" and header.startswith(("app/", "native/")):
        return "the widget program includes the core and Qt, never the application or native layer"
    return None


def main():
    problems, files = [], 0
    for folder, _, names in os.walk(os.path.join(TOP, "src")):
        relative = os.path.relpath(folder, TOP)
        layer = relative.split(os.sep)[1] if relative.count(os.sep) >= 1 else ""
        for name in sorted(names):
            if not name.endswith((".h", ".cpp", ".c", ".in")):
                continue
            files += 1
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                for header in INCLUDE.findall(f.read()):
                    reason = broken(layer, relative.replace(os.sep, "/"), header)
                    if reason:
                        problems.append(f"{relative}/{name}: {header}: {reason}")
    if files < 20:
        problems.append("the scan found almost no sources; is it still working?")
    print("\n".join(problems) or f"{files} files, layers respected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
