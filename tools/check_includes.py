#!/usr/bin/env python3
"""Checks that includes between the project's rooms run only the allowed way.

Prints each include that breaks the table below as "file:line: ..." and exits 1 when there is one.
Only includes written as "room/file" are judged; system headers and generated files are not.
"""
import pathlib
import re
import sys

# Room -> rooms (or single headers) it may include besides itself.
ALLOWED = {
    "common": [],
    "framework": ["common"],
    "probe": ["common"],
    # The evaluation probes the machine when the record is empty.
    "eval": ["common", "probe"],
    # The form reads the record and the level codes.
    "report": ["common", "probe", "eval"],
    "dialog": ["common", "framework", "probe", "eval", "report"],
    "app": ["common", "framework", "probe", "eval", "report", "dialog"],
    # The UI library sees the interface headers and the parameter bag, nothing of the program.
    "korfact": ["common", re.compile(r"framework/(kordo[^/]*|variable_param)\.hpp")],
    # The report server shares only the helpers, the form and token code and the levels' gain
    # bands with the program: it accepts exactly the gains the evaluation gives, by one table.
    "server": ["common", re.compile(r"report/report_(fields|token)\.hpp"), "eval/gain_bands.hpp"],
}
# Tests, tools and fuzz targets may reach anything; resources hold no code that includes.
PRODUCT_ROOMS = set(ALLOWED)

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def allowed(room, target):
    target_room = target.split("/", 1)[0]
    if target_room == room:
        return True
    for rule in ALLOWED[room]:
        if isinstance(rule, re.Pattern):
            if rule.fullmatch(target):
                return True
        elif rule == target or rule == target_room:
            return True
    return False


def main(root):
    root = pathlib.Path(root)
    rooms = {p.name for p in root.iterdir() if p.is_dir()}
    problems = 0
    for room in sorted(PRODUCT_ROOMS & rooms):
        for path in sorted((root / room).rglob("*")):
            if path.suffix not in (".cpp", ".hpp", ".h", ".inc", ".rc"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match or "/" not in match.group(1):
                    continue
                target = match.group(1)
                if target.split("/", 1)[0] in rooms and not allowed(room, target):
                    print(f"{path.relative_to(root)}:{number}: includes \"{target}\": "
                          f"{room}/ may not include that (see tools/check_includes.py)")
                    problems += 1
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[1]))
