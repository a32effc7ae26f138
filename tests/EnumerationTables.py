"""The enumerations written out by hand outside C and C++ (the Python stubs and package docstring,
the web package and its declarations) against the tables of <pelto/types/EnumerationTable.h>.

Usage: EnumerationTables.py <source tree>. Prints every disagreement; exit status 1 when any."""

import re
import sys
from pathlib import Path

# Enumerations of the C++ interface alone: the other interfaces give them as strings.
CXX_ONLY = {"LagBasis"}


def tables(root):
    text = (root / "include/pelto/types/EnumerationTable.h").read_text()
    found = {}
    for enumeration, case, raw in re.findall(r'X\((\w+), (\w+), (\d+), "[^"]*"\)', text):
        name = "".join(word.capitalize() for word in enumeration.split("_"))
        found.setdefault(name, {})[case] = int(raw)
    return {name: cases for name, cases in found.items() if name not in CXX_ONLY}


def stubs(root):
    text = (root / "python/pelto/__init__.pyi").read_text()
    found = {}
    for name, body in re.findall(r"^class ([A-Z]\w*)\(_\w*Enumeration\):\n((?:    .*\n?)*)", text, re.M):
        found[name] = {case: int(raw) for case, raw in re.findall(r"(\w+) = (\d+)", body)}
    return found


def web_module(root):
    text = (root / "web/pelto.mjs").read_text()
    found = {}
    for name, body in re.findall(r"enumeration\(\s*'(\w+)',\s*\{([^}]*)\}", text):
        found[name] = {case: int(raw) for case, raw in re.findall(r"(\w+): (\d+)", body)}
    for name, body in re.findall(r"export const (\w+) = Object\.freeze\(\{([^}]*)\}\)", text):
        if cases := set(re.findall(r"(\w+): '\1'", body)):
            found[name] = cases
    return found


def web_declarations(root):
    text = (root / "web/pelto.d.ts").read_text()
    found = {}
    for name, body in re.findall(r"export declare const (\w+): Enum<\{([^}]*)\}>", text):
        found[name] = {case: int(raw) for case, raw in re.findall(r"(\w+): (\d+)", body)}
    for name, body in re.findall(r"export declare const (\w+): Enum<Record<([^>]*), number>>", text):
        found[name] = set(re.findall(r"'(\w+)'", body))
    for name, body in re.findall(r"export type (\w+)Name = ([^;]*);", text):
        found[name] = set(re.findall(r"'(\w+)'", body))
    return found


def main():
    root = Path(sys.argv[1])
    expected = tables(root)
    problems = []

    def compare(where, found, names_only=()):
        for name, cases in expected.items():
            if name not in found:
                problems.append(f"{where}: {name} is missing")
                continue
            want = set(cases) if name in names_only or isinstance(found[name], set) else cases
            if found[name] != want:
                problems.append(f"{where}: {name} has {found[name]}, the table {want}")
        for name in found.keys() - expected.keys():
            problems.append(f"{where}: {name} is in no table")

    compare("python/pelto/__init__.pyi", stubs(root))
    compare("web/pelto.mjs", web_module(root))
    compare("web/pelto.d.ts", web_declarations(root))
    docstring = (root / "python/pelto/__init__.py").read_text()
    listed = re.search(r"^- (``StatusError``.*?):\n  ``enum\.IntEnum``", docstring, re.M | re.S)
    names = set(re.findall(r"``(?:tuning::)?(\w+)``", listed.group(1))) if listed else set()
    if names != expected.keys():
        problems.append(f"python/pelto/__init__.py: the docstring lists {sorted(names)}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
