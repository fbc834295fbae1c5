#!/usr/bin/env python3
"""The include graph against the table of layers in docs/architecture.md.

Each folder of the table may include its own headers and those of the folders it may use, directly
or through them; a folder whose Qt column says "no" includes no Qt header. Exits 1 and names every
include that breaks the table.
"""
import pathlib, re, sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
table = (root / "docs/architecture.md").read_text(encoding="utf-8")
uses, qt_free, qt_exempt = {}, set(), set()
for line in table.splitlines():
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) != 4 or not cells[1].startswith("`") or not cells[1].endswith("/`"):
        continue
    folder = cells[1].strip("`/")
    uses[folder] = set(re.findall(r"`(\w+)/`", cells[3]))
    if cells[2].startswith("no"):
        qt_free.add(folder)
        # Files the Qt cell names in backticks are that folder's Qt side.
        qt_exempt |= {f"{folder}/{name}" for name in re.findall(r"`([\w.]+\.h)`", cells[2])}
if not uses:
    sys.exit("no table of layers in docs/architecture.md")


def below(folder, seen=None):
    seen = set() if seen is None else seen
    for used in uses.get(folder, ()):
        if used not in seen:
            seen.add(used)
            below(used, seen)
    return seen


faults = []
for folder in sorted(uses):
    allowed = below(folder) | {folder}
    if folder in allowed - {folder}:
        faults.append(f"{folder}/ depends on itself through the table")
    for path in sorted((root / folder).rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        for n, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = re.match(r'\s*#\s*include\s*([<"])([^>"]+)[>"]', line)
            if not m:
                continue
            name = f"{path.relative_to(root)}:{n}"
            target = m.group(2).split("/")[0]
            if m.group(1) == '"' and target in uses and target not in allowed:
                faults.append(f"{name}: {folder}/ may not include {m.group(2)}")
            exempt = path.relative_to(root).as_posix() in qt_exempt
            if m.group(1) == "<" and folder in qt_free and not exempt and re.match(r"Q[A-Z]|Qt", m.group(2)):
                faults.append(f"{name}: {folder}/ is free of Qt but includes <{m.group(2)}>")
print("\n".join(faults) if faults else f"{len(uses)} layers, every include as the table allows")
sys.exit(1 if faults else 0)
