#!/usr/bin/env python3
"""The include check names each wrong-way include by file and line, and passes the allowed ones."""
import pathlib
import subprocess
import sys
import tempfile

CHECK = pathlib.Path(__file__).resolve().parents[2] / "tools" / "check_includes.py"


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        done = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
        return done.returncode, done.stdout


def main():
    failures = []
    code, out = run({
        "probe/a.cpp": '#include "probe/a.hpp"\n#include "app/show_info.hpp"\n',
        "korfact/b.cpp": '#include "framework/kordo_ui.hpp"\n\n#include "framework/default_logger.hpp"\n',
        "server/c.cpp": '#include "common/md5.hpp"\n#include "report/post_report.hpp"\n',
        # No exceptions upward, nor for headers that are gone.
        "probe/d.cpp": '#include "dialog/run_counter.hpp"\n',
        "server/e.cpp": '#include "report/report_form_fields.hpp"\n',
        # The server's wings run one way too.
        "server/store/g.cpp": '#include "server/views/page.hpp"\n#include "server/intake/rule.hpp"\n',
        "server/intake/rule.hpp": '#include "server/monitor/log.hpp"\n',
        "server/views/page.hpp": "", "server/monitor/log.hpp": "",
        "app/show_info.hpp": "", "framework/kordo_ui.hpp": "", "common/md5.hpp": "",
        "report/post_report.hpp": "", "framework/default_logger.hpp": "",
        "dialog/run_counter.hpp": "", "report/report_form_fields.hpp": "",
    })
    if code != 1:
        failures.append(f"exit code {code}, expected 1")
    for expected in ('probe/a.cpp:2: includes "app/show_info.hpp"',
                     'korfact/b.cpp:3: includes "framework/default_logger.hpp"',
                     'server/c.cpp:2: includes "report/post_report.hpp"',
                     'probe/d.cpp:1: includes "dialog/run_counter.hpp"',
                     'server/e.cpp:1: includes "report/report_form_fields.hpp"',
                     'server/store/g.cpp:1: includes "server/views/page.hpp"',
                     'server/intake/rule.hpp:1: includes "server/monitor/log.hpp"'):
        if expected not in out:
            failures.append(f"missing: {expected}")
    if len(out.splitlines()) != 7:
        failures.append(f"expected seven findings, got:\n{out}")
    code, out = run({
        "dialog/vxm_main_dlg_win.cpp": '#include "probe/run_counter.hpp"\n#include <windows.h>\n',
        "eval/level.cpp": '#include "probe/probe_run.hpp"\n#include "data_digest_table.inc"\n',
        "server/f.cpp": '#include "report/report_fields.hpp"\n#include "report/report_token.hpp"\n',
        "server/http/h.cpp": '#include "server/store/s.hpp"\n#include "server/server_settings.hpp"\n',
        "server/main.cpp": '#include "server/http/h.hpp"\n',
        "server/store/s.hpp": "", "server/server_settings.hpp": "", "server/http/h.hpp": "",
        "probe/run_counter.hpp": "", "probe/probe_run.hpp": "",
        "report/report_fields.hpp": "", "report/report_token.hpp": "",
    })
    if code != 0 or out:
        failures.append(f"allowed arrows refused: {out}")
    for failure in failures:
        print("check_includes_test:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
