#!/usr/bin/env python3
"""Checks the string tables against the sources: every message the code can show has a wording
in both tables with the same placeholders as its key. Messages are found by their one spelling
in src/: msg("…", args…) and interpolated("…", value, "…"). Exits 1 and lists every fault.

The keys were first written for another desktop, so they may name its machine and its parts
(Mac, macOS, the menu bar, Activity Monitor…); the wordings we show must not. Both wordings of
every key the code uses are checked for those names (the keys themselves are left alone), and
every English wording for CJK script or full-width forms (U+3000 and the like) left over from
its key. Symbols such as ⚠︎ and ★ are fine.
"""
import os
import plistlib
import re
import sys

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
CALL = re.compile(r"\b(msg|interpolated)\s*\(")
PLACEHOLDER = re.compile(r"\{(\d+)\}")
ESCAPES = {"n": "\n", "t": "\t"}
# Bounded by anything but a Latin letter or digit, so "Macの" counts and "machine" does not.
OTHER_PLATFORM = re.compile(
    r"(?<![A-Za-z0-9])(Mac|macOS|M4|Apple|Activity\s+Monitor|Finder|Time\s+Machine|menu\s*bar)"
    r"(?![A-Za-z0-9])", re.I)
# Japanese wordings run words together, so there any occurrence counts ("MacBook", "Macの").
OTHER_PLATFORM_JA = ("アクティビティモニタ", "メニューバー", "Finder", "Mac")
# Hangul, CJK punctuation and ideographs, kana, CJK compatibility and full-width forms.
CJK = re.compile("[\u1100-\u11ff\u2e80-\u2fff\u3000-\u4dbf\u4e00-\u9fff\ua960-\ua97f"
                 "\uac00-\ud7ff\uf900-\ufaff\ufe30-\ufe4f\uff00-\uffef"
                 "\U0001b000-\U0001b16f\U00020000-\U0003ffff]")


def literal_at(text, i):
    """The value and end of a string literal starting at i, or None when none starts there."""
    if text.startswith("u8", i):
        i += 2
    raw = re.match(r'R"([^(]*)\(', text[i:])
    if raw:
        close = ")" + raw.group(1) + '"'
        start = i + raw.end()
        end = text.index(close, start)
        return text[start:end], end + len(close)
    if text[i] != '"':
        return None
    value, j = [], i + 1
    while text[j] != '"':
        if text[j] == "\\":
            j += 1
            value.append(ESCAPES.get(text[j], text[j]))
        else:
            value.append(text[j])
        j += 1
    return "".join(value), j + 1


def arguments(text, i):
    """The call's top-level arguments from just after "(": each a string or None (not a literal)."""
    found, pieces, other, depth = [], [], False, 0
    while True:
        lit = literal_at(text, i) if text[i] in 'u"R' else None
        if lit:
            (pieces if depth == 0 else []).append(lit[0])
            other |= depth > 0
            i = lit[1]
            continue
        c = text[i]
        i += 1
        if c in "([{":
            depth += 1
        elif c in ")]}" and depth > 0:
            depth -= 1
        elif c in ",)" and depth == 0:
            found.append(pieces[0] if len(pieces) == 1 and not other else None)
            pieces, other = [], False
            if c == ")":
                return found
        elif not c.isspace() and c != "'":
            other = True


def strip_comments(text):
    """Comments out; string and character literals kept as they are."""
    kept = r'("(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])\')'
    return re.sub(r"//[^\n]*|/\*.*?\*/|" + kept, lambda m: m.group(1) or "", text, flags=re.S)


def used_keys():
    for folder, _, files in os.walk(os.path.join(TOP, "src")):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")) or name == "LocalizedMessage.h":
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                text = strip_comments(f.read())
            for call in CALL.finditer(text):
                args = arguments(text, call.end())
                where = f"{os.path.relpath(path, TOP)}:{text.count(chr(10), 0, call.start()) + 1}"
                if call.group(1) == "msg":
                    yield (args[0], where) if args and args[0] is not None else (None, where)
                else:
                    holes = iter(range(len(args)))
                    yield "".join(a if a is not None else "{%d}" % next(holes) for a in args), where


def other_platform_names(lang, template):
    """The names of the other desktop's machine and parts that one wording mentions."""
    names = [m.group(0) for m in OTHER_PLATFORM.finditer(template)]
    if lang == "ja":
        names += [name for name in OTHER_PLATFORM_JA if name in template]
    return list(dict.fromkeys(names))


def main():
    tables = {}
    for lang in ("ja", "en"):
        with open(os.path.join(TOP, "resources", f"{lang}.lproj", "Localizable.strings"), "rb") as f:
            tables[lang] = plistlib.load(f)
    problems, count, shown = [], 0, {}
    for key, where in used_keys():
        count += 1
        if key is None:
            problems.append(f"{where}: msg( needs a single string literal as its template")
            continue
        shown.setdefault(key, where)
        for lang, table in tables.items():
            if key not in table:
                problems.append(f'{where}: "{key}" is missing from the {lang} table (tools/strings.py add)')
    for key, where in shown.items():
        for lang, table in tables.items():
            for name in other_platform_names(lang, table.get(key, "")):
                problems.append(f"{where}: the {lang} wording of {key!r} names {name!r}: {table[key]!r}")
    for key, template in tables["en"].items():
        for c in dict.fromkeys(CJK.findall(template)):
            problems.append(f"en: {key!r} → {template!r} holds {c!r} (U+{ord(c):04X})")
    for lang, table in tables.items():
        other = tables["en" if lang == "ja" else "ja"]
        for key, template in table.items():
            if set(PLACEHOLDER.findall(key)) != set(PLACEHOLDER.findall(template)):
                problems.append(f"{lang}: {key!r} → {template!r} changes the placeholders")
            if key not in other:
                problems.append(f"{lang}: {key!r} is in one table only")
    if count < 3:
        problems.append("the scan found almost no messages; is it still working?")
    print("\n".join(problems) or f"{count} messages, all in both tables")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
