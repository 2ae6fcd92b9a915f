#!/usr/bin/env python3
"""Edits the two string tables (resources/{ja,en}.lproj/Localizable.strings).

  tools/strings.py add KEY ENGLISH [JAPANESE]   add or replace one entry (Japanese defaults to KEY)
  tools/strings.py remove KEY                   remove an entry from both tables
  tools/strings.py show KEY                     print both templates

The tables are XML property lists of string pairs, written with sorted keys so that diffs stay
small. Edits take a lock, so several people (or scripts) can add entries at the same time.
"""
import fcntl
import os
import plistlib
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
TABLES = {lang: os.path.join(ROOT, f"{lang}.lproj", "Localizable.strings") for lang in ("ja", "en")}


def load(path):
    if not os.path.exists(path):
        return {}
    with open(path, "rb") as f:
        return plistlib.load(f)


def save(path, table):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        plistlib.dump(table, f, fmt=plistlib.FMT_XML, sort_keys=True)
    os.replace(tmp, path)


def main(argv):
    if len(argv) < 2 or argv[0] not in ("add", "remove", "show"):
        print(__doc__, file=sys.stderr)
        return 2
    with open(os.path.join(ROOT, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        tables = {lang: load(path) for lang, path in TABLES.items()}
        key = argv[1]
        if argv[0] == "show":
            for lang in TABLES:
                print(f"{lang}: {tables[lang].get(key)!r}")
            return 0
        if argv[0] == "remove":
            for table in tables.values():
                table.pop(key, None)
        else:
            if len(argv) < 3:
                print("add needs KEY and ENGLISH", file=sys.stderr)
                return 2
            tables["en"][key] = argv[2]
            tables["ja"][key] = argv[3] if len(argv) > 3 else key
        for lang, path in TABLES.items():
            save(path, tables[lang])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
