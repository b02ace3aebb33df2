#!/usr/bin/env python3
"""Checks that includes between the project's rooms run only the allowed way.

Prints each include that breaks the table below as "file:line: ..." and exits 1 when there is one.
Only includes written as "room/file" are judged; system headers and generated files are not.
"""
import pathlib
import re
import sys

# What every wing of the report server may include.
# The score tables with their look-up and the level rule too: the server rates each report as
# the program rates the machine (bands, level, the parts that decide it), so that it can say the
# true level, which the report's level code does not tell, and rate with newer tables than the
# program's; nothing of the evaluation that probes the machine or writes its record.
SERVER_SHARED = ["common", re.compile(r"report/report_(fields|token)\.hpp"), "eval/gain_bands.hpp",
                 re.compile(r"eval/(score_table|score_lookup|canonical_name|level_rule)\.hpp"),
                 "server/server_settings.hpp"]

# Room (a top folder, or a wing: a folder inside one) -> rooms (or single headers) it may include
# besides itself.
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
    # The report server shares only the helpers, the form and token code, the levels' gain bands
    # (it accepts exactly the gains the evaluation gives, by one table), the score tables and the
    # level rule (SERVER_SHARED) with the program.
    # Its wings run one way: http answers requests with the views, the store and the intake;
    # the views show what the store holds; the store counts and logs through monitor; intake
    # (what a report holds and how it is judged) needs nothing of the server. Every wing reads
    # the settings; main.cpp at the top puts it all together.
    "server": [*SERVER_SHARED, "server/http", "server/views", "server/store", "server/monitor",
               "server/intake"],
    "server/http": [*SERVER_SHARED, "server/views", "server/store", "server/monitor",
                    "server/intake"],
    "server/views": [*SERVER_SHARED, "server/store", "server/intake"],
    "server/store": [*SERVER_SHARED, "server/monitor", "server/intake"],
    "server/monitor": [*SERVER_SHARED, "server/intake"],
    "server/intake": [*SERVER_SHARED],
}
# Tests, tools and fuzz targets may reach anything; resources hold no code that includes.
PRODUCT_ROOMS = {room for room in ALLOWED if "/" not in room}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def room_of(path):
    """The wing a path is in when its room has wings, else its top folder."""
    parts = path.split("/")
    return "/".join(parts[:2]) if "/".join(parts[:2]) in ALLOWED and len(parts) > 2 else parts[0]


def allowed(room, target):
    target_room = room_of(target)
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
                source = path.relative_to(root).as_posix()
                wing = room_of(source)
                if target.split("/", 1)[0] in rooms and not allowed(wing, target):
                    print(f"{source}:{number}: includes \"{target}\": "
                          f"{wing}/ may not include that (see tools/check_includes.py)")
                    problems += 1
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[1]))
