#!/usr/bin/env python3
"""Releases of this commit, made as an operator would, checked as a user and an auditor would.

  release_test.py prepare ROOT WORK PORT
      clones the commit twice, at two paths of different lengths, and makes an unsigned release
      for 127.0.0.1:PORT in each at once (no compiler cache, another time zone and umask in the
      second); their logs and exit codes go to WORK. scripts/test runs this in the background.
  release_test.py check ROOT WORK PORT
      the two releases are byte for byte the same and hold no path of the machine; the binaries
      are stripped, linked to their debug files and carry their version; 说明.txt and the zip's
      entries are as a Chinese Windows reads them. Then the first clone makes a signed release
      with a code-signing CA made here: osslsigncode verifies it against that CA, not against
      another, and not after one changed byte; the signature removed gives back the unsigned
      program; and the signed program plays a whole Start under Wine against the reference
      server (screenshots in ROOT/build/release-shots/).
"""
import hashlib
import io
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "e2e"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from pe_file import PeFile, crc32  # noqa: E402
from report_server_run import finish, report_server, stored_reports, windows_path  # noqa: E402

HOST = "127.0.0.1"
ACCOUNT = "13572468"
NOTE = "说明.txt"
PROGRAM_FILES = ["VxmCheck.exe", "KorFact.dll", "Main.vxm", "Kordo.ini", NOTE]
SIGN_PASSWORD = "throw-away password 1"
# The two clones: the second's path is longer, so a path inside would also move every byte after.
CLONES = {"a": "a/VxmCheck", "b": "elsewhere/some/longer/path/b-VxmCheck"}
# A release made after the first in another clone must differ in nothing it is given.
SECOND_RUN = {"TZ": "Asia/Shanghai", "LANG": "zh_CN.UTF-8"}


def git(*args, cwd):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True,
                          text=True).stdout.strip()


def clone(root, path):
    """A fresh clone of ROOT's commit, with the Boost sources scripts/setup would fetch."""
    commit = git("rev-parse", "HEAD", cwd=root)
    shutil.rmtree(path, ignore_errors=True)
    path.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["git", "clone", "-q", "--no-checkout", root, path], check=True)
    git("checkout", "-q", commit, cwd=path)
    deps = path / ".deps"
    deps.mkdir()
    shutil.copytree(root / ".deps/boost-program-options", deps / "boost-program-options",
                    symlinks=True)


def release_env(extra):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("CMAKE_", "CCACHE_", "VXM_SIGN_"))}
    return {**env, "VXM_RELEASE_JOBS": "1", **extra}


def prepare(root, work, port):
    """Both releases at once, one core each; WORK/prepared.json holds how each went."""
    work.mkdir(parents=True, exist_ok=True)
    runs = {}
    for key, relative in CLONES.items():
        path = work / relative
        clone(root, path)
        log = open(work / f"release-{key}.log", "w")
        umask = "022" if key == "a" else "077"
        runs[key] = (subprocess.Popen(
            ["sh", "-c", f'umask {umask} && exec scripts/release "$0" "$1"', HOST, port],
            cwd=path, stdout=log, stderr=subprocess.STDOUT,
            env=release_env(SECOND_RUN if key == "b" else {})), time.monotonic())
        time.sleep(2)  # the second starts later
    results = {}
    for key, (process, started) in runs.items():
        code = process.wait()
        results[key] = {"path": str(work / CLONES[key]), "exit": code,
                        "seconds": round(time.monotonic() - started, 1)}
    (work / "prepared.json").write_text(json.dumps(results))
    return 0 if all(r["exit"] == 0 for r in results.values()) else 1


def release_files(clone_path):
    return {p.name: p.read_bytes() for p in sorted((clone_path / "release").iterdir())}


def zip_members(data):
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        return [(info, archive.read(info)) for info in archive.infolist()]


def raw_name(info):
    """The entry's name as stored: without the UTF-8 flag Python decoded it as code page 437."""
    return info.filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")


def layout_items(root):
    text = (root / "korfact/Main.vxm").read_bytes().decode("gbk")
    items = []
    for name in ("Talvo_Fields1", "Talvo_Fields2"):
        found = re.search(rf'name="{name}"[^>]*text="([^"]*)"', text, re.S)
        items += [line.lstrip("· ") for line in found.group(1).split("&#10;")]
    return items


def check_reproducible(first, second):
    problems = []
    if sorted(first) != sorted(second):
        return [f"the releases hold different files: {sorted(first)} against {sorted(second)}"]
    for name in first:
        if first[name] != second[name]:
            differing = sum(a != b for a, b in zip(first[name], second[name]))
            problems.append(f"{name} differs between the clones ({len(first[name])} against "
                            f"{len(second[name])} bytes, {differing} differing bytes in common)")
    return problems


def check_no_machine_paths(files, clone_paths, work):
    """No clone path, work folder or home, in any encoding a binary or debug file could hold."""
    needles = {str(work), os.path.expanduser("~")} | {str(p) for p in clone_paths}
    needles |= {windows_path(p) for p in clone_paths}
    encoded = {(n, e): n.encode(e) for n in needles for e in ("utf-8", "utf-16-le")}
    problems = []
    for name, data in files.items():
        contents = [(name, data)]
        if name.endswith(".zip"):
            contents += [(f"{name}:{info.filename}", member) for info, member in zip_members(data)]
        for where, content in contents:
            for (needle, encoding), pattern in encoded.items():
                if pattern in content:
                    problems.append(f"{where} holds the build machine's path {needle} ({encoding})")
    return problems


def check_zip_entries(data, folder, epoch, names):
    problems = []
    entries = zip_members(data)
    stored = [raw_name(info) for info, _ in entries]
    wanted = [f"{folder}/{n}".encode("gbk") for n in names]
    if stored != wanted:
        problems.append(f"{folder}: entries {stored}, expected {wanted} in that order")
    # Zip times count in 2 s steps: zip rounds an odd second up.
    when = time.gmtime(epoch + epoch % 2)
    for info, _ in entries:
        if info.date_time != tuple(when[:6]):
            problems.append(f"{info.filename}: time {info.date_time}, the commit's is {when[:6]}")
        if info.external_attr >> 16 != 0o100644 or info.extra:
            problems.append(f"{info.filename}: mode {info.external_attr >> 16:o}, extra {info.extra}")
    return problems


def check_note(note, items, port, signer):
    problems = []
    if re.search(rb"(?<!\r)\n", note) or not note.endswith(b"\r\n"):
        problems.append("说明.txt has a line not ended by CR LF")
    text = note.decode("gbk")
    wanted = [f"· {item}\r\n" for item in items]
    wanted.append(f"报告发送至 {HOST}:{port}（未加密，HTTP）\r\n")
    wanted.append(f"签名者应为：{signer}\r\n" if signer else "本版本未签名")
    for line in wanted:
        if line not in text:
            problems.append(f"说明.txt lacks {line!r}")
    if len(text.splitlines()) > 40:
        problems.append(f"说明.txt is not short: {len(text.splitlines())} lines")
    return problems


def check_binaries(program, symbols, version, epoch):
    """Stripped, at most 3 MB, stamped with the commit's time (the linker writes none, the
    strip the commit's), linked to a debug file that holds their symbols, versioned."""
    problems = []
    project = re.match(r"\d+\.\d+\.\d+", version).group(0)
    # The program at most 3 MB; the library with its symbol table would be 2.3 MB.
    described = {"VxmCheck.exe": ("VxmCheck 电脑配置检测", 3_000_000),
                 "KorFact.dll": ("VxmCheck 界面组件库", 2_000_000)}
    for name, (description, most) in described.items():
        pe = PeFile(program[name])
        debug_name = f"{name}.debug"
        debug = PeFile(symbols[debug_name])
        sections = [s[0] for s in pe.sections]
        # A string table may stay for long section names (.gnu_debuglink), but no symbol.
        if pe.symbol_count or any(s.startswith(".debug") for s in sections):
            problems.append(f"{name} is not stripped: {pe.symbol_count} symbols, {sections}")
        if len(program[name]) % 8:
            problems.append(f"{name}: {len(program[name])} bytes, not where a signature starts")
        if len(program[name]) > most:
            problems.append(f"{name} is {len(program[name])} bytes, more than {most}")
        if pe.timestamp != epoch:
            problems.append(f"{name}: time stamp {pe.timestamp}, the commit's is {epoch}")
        if pe.debug_link() != (debug_name, crc32(symbols[debug_name])):
            problems.append(f"{name} links {pe.debug_link()}, not {debug_name} with its CRC")
        debug_sections = [s[0] for s in debug.sections]
        if not debug.symbol_count or ".debug_info" not in debug_sections:
            problems.append(f"{debug_name}: {debug.symbol_count} symbols, {debug_sections}")
        fixed_file, fixed_product, strings = pe.version_info() or (None, None, {})
        wanted = {"FileVersion": version, "ProductVersion": version, "ProductName": "VxmCheck",
                  "OriginalFilename": name, "InternalName": name, "FileDescription": description,
                  "LegalCopyright": f"© {time.gmtime(epoch).tm_year} VxmCheck 项目", "CompanyName": "VxmCheck 项目"}
        for key, value in wanted.items():
            if strings.get(key) != value:
                problems.append(f"{name}: {key} is {strings.get(key)!r}, expected {value!r}")
        if (fixed_file, fixed_product) != (f"{project}.0", f"{project}.0"):
            problems.append(f"{name}: fixed versions {fixed_file} {fixed_product}, not {project}.0")
    return problems


def make_signing_ca(work):
    """A CA and a code-signing certificate under it in a PKCS#12 file, and a second, unrelated
    CA; all throw-away."""
    work.mkdir(parents=True, exist_ok=True)

    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=work, check=True, capture_output=True)

    for ca in ("ca", "other-ca"):
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{ca}.key", "-out",
                f"{ca}.pem", "-days", "2", "-subj", f"/CN=VxmCheck test {ca}",
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-utf8", "-keyout", "signer.key", "-out",
            "signer.csr", "-subj", "/CN=VxmCheck 测试签名/O=VxmCheck")
    (work / "signer.ext").write_text("basicConstraints=critical,CA:FALSE\n"
                                     "keyUsage=critical,digitalSignature\n"
                                     "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-sha256", "-extfile", "signer.ext", "-out",
            "signer.pem")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile",
            "ca.pem", "-out", "signer.p12", "-passout", f"pass:{SIGN_PASSWORD}")
    return work / "signer.p12", work / "ca.pem", work / "other-ca.pem"


def verify(path, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path],
                          capture_output=True, text=True)


def check_signing(clone_path, work, port, unsigned_program):
    """The signed release verifies against its CA only, and only untouched."""
    p12, ca, other_ca = make_signing_ca(work / "signing")
    # The clone's unsigned release is put back afterwards, so the check can run again.
    released, kept = clone_path / "release", work / "unsigned-release"
    shutil.rmtree(kept, ignore_errors=True)
    shutil.copytree(released, kept)
    made = subprocess.run(
        ["scripts/release", HOST, port, "--pkcs12", p12, "--sign-roots", ca], cwd=clone_path,
        env=release_env({"VXM_SIGN_PASSWORD": SIGN_PASSWORD}), capture_output=True, text=True)
    signed_zips = {p.name: p.read_bytes() for p in released.glob("VxmCheck-*.zip")}
    shutil.rmtree(released)
    shutil.copytree(kept, released)
    if made.returncode:
        return [f"the signed release failed: {made.stdout}{made.stderr}"], None
    archive = next(data for name, data in signed_zips.items() if not name.endswith("-symbols.zip"))
    program = {info.filename.split("/")[-1]: member for info, member in zip_members(archive)}
    unpacked = work / "signed"
    shutil.rmtree(unpacked, ignore_errors=True)
    unpacked.mkdir()
    for info, member in zip_members(archive):
        (unpacked / raw_name(info).decode("gbk").split("/")[-1]).write_bytes(member)
    problems = []
    for name in ("VxmCheck.exe", "KorFact.dll"):
        signed = unpacked / name
        if verify(signed, ca).returncode:
            problems.append(f"{name} does not verify against its CA: {verify(signed, ca).stdout}")
        if not verify(signed, other_ca).returncode:
            problems.append(f"{name} verifies against an unrelated CA")
        tampered = work / f"tampered-{name}"
        data = bytearray(program[name])
        pe = PeFile(bytes(data))
        text_offset = next(s[3] for s in pe.sections if s[0] == ".text")
        data[text_offset + 4096] ^= 0x01
        tampered.write_bytes(data)
        if not verify(tampered, ca).returncode:
            problems.append(f"{name} with one changed byte still verifies")
        stripped = work / f"unsigned-{name}"
        stripped.unlink(missing_ok=True)
        subprocess.run(["osslsigncode", "remove-signature", "-in", signed, "-out", stripped],
                       check=True, capture_output=True)
        if stripped.read_bytes() != unsigned_program[name]:
            problems.append(f"{name} without its signature is not the unsigned release's")
    problems += check_note((unpacked / NOTE).read_bytes(), [], port, "VxmCheck 测试签名")
    return problems, unpacked


def check_start(root, port, program_folder):
    """One whole Start of the signed program against the reference server, with show_info."""
    shots = root / "build/release-shots"
    shutil.rmtree(shots, ignore_errors=True)
    work = program_folder.parent / "server"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir()
    with report_server(root, port, work) as url:
        played = subprocess.run(
            [root / "scripts/wine-exec", root / "build/win/bin/play_start.exe",
             windows_path(program_folder / "VxmCheck.exe"), windows_path(program_folder / "Main.vxm"),
             ACCOUNT, windows_path(shots)], capture_output=True, timeout=300)
        rows = stored_reports(url)
    output = played.stdout.decode("gbk", errors="replace")
    problems = []
    if "检测成功" not in output or [r["u"] for r in rows] != [ACCOUNT]:
        problems.append(f"the signed program's Start was not recorded ({len(rows)} reports):\n{output}")
    if f"报告发送至 {HOST}（未加密）" not in output or "VxmCheck 版本 " not in output:
        problems.append(f"the privacy panel lacks the server's line:\n{output}")
    if not list(shots.glob("*privacy.png")):
        problems.append(f"no screenshot of the privacy panel in {shots}")
    return problems


def check(root, work, port):
    if not (work / "prepared.json").exists():
        log = work / "prepare.log"
        return [f"the releases were not made: {log.read_text() if log.exists() else 'no log'}"]
    prepared = json.loads((work / "prepared.json").read_text())
    for key, result in prepared.items():
        print(f"release_test: release {key} took {result['seconds']} s (exit {result['exit']})")
        if result["exit"]:
            log = (work / f"release-{key}.log").read_text()
            return [f"release {key} failed:\n{log[-3000:]}"]
    first, second = (pathlib.Path(prepared[k]["path"]) for k in CLONES)
    files = release_files(first)
    problems = check_reproducible(files, release_files(second))
    problems += check_no_machine_paths(files, [first, second], work)

    archive = next(n for n in files if n.endswith(".zip") and not n.endswith("-symbols.zip"))
    folder = archive[:-len(".zip")]
    version = re.match(rf"VxmCheck-(.*)-{re.escape(HOST)}$", folder).group(1)
    epoch = int(git("log", "-1", "--format=%ct", cwd=first))
    problems += check_zip_entries(files[archive], folder, epoch, PROGRAM_FILES)
    problems += check_zip_entries(files[f"{folder}-symbols.zip"], f"{folder}-symbols", epoch,
                                  ["VxmCheck.exe.debug", "KorFact.dll.debug"])
    program = {info.filename.split("/")[-1]: data for info, data in zip_members(files[archive])}
    symbols = {info.filename.split("/")[-1]: data
               for info, data in zip_members(files[f"{folder}-symbols.zip"])}
    note = next(data for info, data in zip_members(files[archive]) if raw_name(info).endswith(
        NOTE.encode("gbk")))
    problems += check_note(note, layout_items(first), port, None)
    problems += check_binaries(program, symbols, version, epoch)
    listed = dict(reversed(line.split("  ", 1))
                  for line in files["SHA256SUMS"].decode().splitlines())
    sums = {archive: files[archive], f"{folder}-symbols.zip": files[f"{folder}-symbols.zip"],
            **{f"{folder}/{name}": program[name] for name in PROGRAM_FILES[:4]}}
    if listed != {name: hashlib.sha256(data).hexdigest() for name, data in sums.items()}:
        problems.append(f"SHA256SUMS lists {listed}, not the digests of {sorted(sums)}")
    signing_problems, signed_folder = check_signing(first, work, port, program)
    problems += signing_problems
    if signed_folder:
        problems += check_start(root, port, signed_folder)
    return problems


def main(argv):
    if len(argv) != 5 or argv[1] not in ("prepare", "check"):
        sys.exit(__doc__)
    root, work, port = pathlib.Path(argv[2]).resolve(), pathlib.Path(argv[3]).resolve(), argv[4]
    if argv[1] == "prepare":
        sys.exit(prepare(root, work, port))
    finish("release_test", check(root, work, port))


if __name__ == "__main__":
    main(sys.argv)
