#!/usr/bin/env python3
"""update-make's roads, each a whole run of the tool on real folders.

    make_tests.py sample [--wine WINE_RUN] MAKER REPO
        examples/sample-patch is what update-make makes from examples/sample-game
        (old) and examples/sample-game-new (new) with the sample's own texts:
        update.ini and update/ byte for byte; the make is proven.
    make_tests.py road [--wine WINE_RUN --driver E2E_DRIVER --exe UPDATE_EXE] MAKER FIXTURE
        (with --exe the maker must carry that update.exe, found beside itself)
        makes a patch from FIXTURE/old and FIXTURE/new (FIXTURE/road.txt: the
        read-only marks of old/, the folders the program creates in upper case).
        With --driver the real update.exe applies it under Wine to a copy of old/
        (tests/e2e's driver, Start pressed, every box read) and the game folder
        afterwards must be new/ byte for byte, but for the upper-cased folders.

    make_tests.py delta-road --wine WINE_RUN --driver E2E_DRIVER --exe UPDATE_EXE HOST_MAKER FIXTURE
        the road with an archive generated in old/ and new/ (1 MiB, a line
        changed and one inserted) that travels as a delta: HOST_MAKER (the
        Linux update-make, since xdelta3 runs here) makes the patch with --delta
        and carries UPDATE_EXE, which applies it under Wine; the game folder
        afterwards must be new/ byte for byte.

    make_tests.py encoder-road --wine WINE_RUN --driver E2E_DRIVER --exe UPDATE_EXE --encoder STAND_IN MAKER FIXTURE
        the delta road with the Windows update-make, in a folder whose name has
        a space: STAND_IN (a stand-in for xdelta3.exe that writes a small plain
        delta) lies beside it as xdelta3.exe, where the tool looks first; the
        stand-in must receive OLD's, NEW's and the delta's paths whole, and the
        patch, made with --delta and proven, must turn a copy of OLD into NEW.

With --wine the maker is the Windows build, run through WINE_RUN.
"""
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
from case_files import make_read_only, make_writable, native, read_lines


def write_stand_in_program(path):
    """What update-make reads of update.exe: an i686 Windows program with a window, the project's."""
    header = bytearray(0x40 + 24 + 0xE0)
    header[0:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", header, 0x44, 0x14C, 0, 0, 0, 0, 0xE0, 0x0102)
    struct.pack_into("<H", header, 0x58, 0x10B)
    struct.pack_into("<H", header, 0x58 + 68, 2)
    with open(path, "wb") as f:
        # The InternalName of update.exe's version resource, which marks the project's program.
        mark = "InternalName\0\0update_patcher\0".encode("utf-16-le")
        f.write(bytes(header) + b"a stand-in for the release update.exe\n" + mark)


def is_64_bit_program(path):
    with open(path, "rb") as f:
        header = f.read(4096)
    pe = struct.unpack_from("<I", header, 0x3C)[0]
    return struct.unpack_from("<H", header, pe + 4)[0] == 0x8664


def run_maker(wine_run, maker, arguments, cwd):
    command = ([wine_run] if wine_run else []) + [maker] + arguments
    result = subprocess.run(command, cwd=cwd, capture_output=True, timeout=300)
    out = result.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    err = result.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
    return result.returncode, out, err


def open_to_wine(work):
    """Wine runs as another user, who reads the copies and writes the patch."""
    for root, dirs, _ in os.walk(work):
        os.chmod(root, 0o777)


def tree(folder):
    """Every file below folder: relative path -> bytes."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = f.read()
    return files


def sample(wine_run, maker, repo):
    work = tempfile.mkdtemp(prefix="update-make-sample-")
    try:
        for name in ("sample-game", "sample-game-new"):
            shutil.copytree(os.path.join(repo, "examples", name), os.path.join(work, name))
        shutil.copy(os.path.join(repo, "examples", "sample-patch", "update.ini"), os.path.join(work, "texts.ini"))
        write_stand_in_program(os.path.join(work, "update.exe"))
        open_to_wine(work)
        status, out, err = run_maker(wine_run, maker, ["--texts", "texts.ini", "--exe", "update.exe",
                                                       "sample-game", "sample-game-new", "made"], work)
        print(out + err, end="")
        problems = []
        if status != 0:
            problems.append("update-make ended with %d, not 0 (made and proven)" % status)
        if not out.rstrip().endswith("The patch turns OLD into NEW."):
            problems.append("the report does not end with the proof")
        made = os.path.join(work, "made")
        shipped = os.path.join(repo, "examples", "sample-patch")
        if os.path.isdir(made):
            made_files = tree(made)
            made_files.pop("update.exe", None)
            shipped_files = tree(shipped)
            for path in sorted(set(made_files) | set(shipped_files)):
                if made_files.get(path) != shipped_files.get(path):
                    problems.append("examples/sample-patch/%s differs from what update-make makes" % path)
        else:
            problems.append("no patch was made")
    finally:
        make_writable(work)
        shutil.rmtree(work)
    for problem in problems:
        print("FAIL: " + problem)
    print("sample: " + ("examples/sample-patch is what update-make makes" if not problems else "%d problems" % len(problems)))
    return 1 if problems else 0


def road_settings(fixture):
    readonly, upper = [], []
    for name, value in read_lines(os.path.join(fixture, "road.txt")):
        if name == "readonly":
            readonly.append(value)
        elif name == "upper-cased":
            upper.append(value.split())
    return readonly, upper


CAPTION = "星見の丘 修正パッチ ver1.03"
REGISTRY = "UpdateMakeRoad\\Game"


def write_archive(work):
    """An archive of 1 MiB that does not repeat itself, and its new version."""
    rng = random.Random(20)
    old = rng.randbytes(1 << 20)
    new = old[:300000] + b"a line of the script, fixed" + old[300027:700000] + b"an inserted line\r\n" + old[700000:]
    for part, data in (("old", old), ("new", new)):
        with open(os.path.join(work, part, "data", "archive.dat"), "wb") as f:
            f.write(data)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def road(wine_run, driver, exe, maker, fixture, host_maker=None, encoder=None, checker=None):
    """checker: the real encoder lies beside the tool (the kit's road), the
    work folder has a Japanese name with a space, and update-check checks the
    patch before update.exe applies it."""
    readonly, upper = road_settings(fixture)
    prefix = "update-make キット road " if checker else "update-make road " if encoder else "update-make-road-"
    work = tempfile.mkdtemp(prefix=prefix)
    problems = []
    try:
        for part in ("old", "new"):
            shutil.copytree(os.path.join(fixture, part), os.path.join(work, part))
        if host_maker or encoder:
            write_archive(work)
        for relative in readonly:
            make_read_only(native(work, relative))
        # The Windows build takes the update.exe that lies beside it; the Linux
        # build, which has none, a stand-in.
        program = ["--delta", "--exe", exe] if host_maker else []
        if not exe:
            write_stand_in_program(os.path.join(work, "update.exe"))
            program = ["--exe", "update.exe"]
        folders = ["old", "new", "patch"]
        if encoder:
            # The tool, the update.exe it carries and the encoder in one folder;
            # the folders named whole, spaces and all.
            tools = os.path.join(work, "tools ツール")
            os.mkdir(tools)
            for source, name in ((maker, "update-make.exe"), (exe, "update.exe"), (encoder, "xdelta3.exe")):
                shutil.copy(source, os.path.join(tools, name))
            maker = os.path.join(tools, "update-make.exe")
            program = ["--delta"]
            folders = [windows_path(os.path.join(work, name)) for name in folders]
        open_to_wine(work)
        status, out, err = run_maker(None if host_maker else wine_run, host_maker or maker, [
            "--json", "--game-name", "星見の丘", "--reg-path", REGISTRY, "--caption", CAPTION,
            "--comment0", "「星見の丘」修正パッチ ver1.03", "--comment1", "「開始」ボタンを押してください。"] + program + folders, work)
        print(err, end="")
        report = json.loads(out) if out.strip() else {}
        print(json.dumps(report, ensure_ascii=False, indent=1))

        def names(key):
            return sorted(f["path"] for f in report.get(key, []))

        expect = {
            "added": ["Movie\\オープニング.mpg", "データ\\おまけ\\ソ十能.dat"],
            "replaced": ["Tessoran.exe", "data\\scenario.dat", "データ\\表紙.dat"],
            "deleted": ["data\\trial.dat"],
        }
        if host_maker or encoder:
            expect["replaced"].append("data\\archive.dat")
            made = [d["path"] for d in report.get("deltas", {}).get("made", [])]
            if made != ["data\\archive.dat"]:
                problems.append("deltas: %s, expected data\\archive.dat" % made)
        if status != 1:
            problems.append("update-make ended with %d, not 1 (made and proven, with warnings)" % status)
        for key, wanted in expect.items():
            if names(key) != sorted(wanted):
                problems.append("%s: %s, expected %s" % (key, names(key), sorted(wanted)))
        warnings = [(w["kind"], w["path"]) for w in report.get("warnings", [])]
        # The x86_64 build carries its own update.exe, which runs on 64-bit Windows only.
        expected_warnings = [("folder-upper-cased", "Movie")]
        if exe and is_64_bit_program(exe):
            expected_warnings.append(("exe-64-bit", "update.exe"))
        if warnings != expected_warnings:
            problems.append("warnings: %s" % warnings)
        if not report.get("proven") or not report.get("made"):
            problems.append("not made and proven: " + report.get("result", "no report"))
        patch = os.path.join(work, "patch")
        if exe and not os.path.isfile(os.path.join(patch, "update.exe")):
            problems.append("the patch has no update.exe")
        elif exe:
            with open(exe, "rb") as built, open(os.path.join(patch, "update.exe"), "rb") as carried:
                if built.read() != carried.read():
                    problems.append("the patch's update.exe is not the one built beside update-make")
        if checker and not problems:
            problems += check_patch(wine_run, checker, work, folders)
        if encoder and not checker:
            with open(os.path.join(tools, "encoder-arguments.txt"), encoding="utf-8") as f:
                received = f.read().splitlines()
            wanted = [folders[0] + "\\data\\archive.dat", folders[1] + "\\data\\archive.dat"]
            options = ["-e", "-9", "-D", "-S", "none", "-A=", "-B", "1048576", "-W", "2097152", "-f", "-s"]
            count = len(options)
            if received[:count] != options or received[count:count + 2] != wanted or not received[count + 2:] or \
                    not (received[count + 2].startswith(windows_path(work) + "\\") and received[count + 2].endswith(".vcdiff")):
                problems.append("the encoder received %s, expected its options and %s" % (received, wanted))
        if driver and not problems:
            problems += apply_with_update_exe(wine_run, driver, work, readonly, upper)
    finally:
        make_writable(work)
        shutil.rmtree(work)
    for problem in problems:
        print("FAIL: " + problem)
    what = "made" + (" with a delta" if host_maker or encoder else "") + ", proven" + \
        (", applied by update.exe and compared with NEW" if driver else "")
    print("road: " + (what if not problems else "%d problems" % len(problems)))
    return 1 if problems else 0


def check_patch(wine_run, checker, work, folders):
    """update-check's preview of the patch on OLD: the run completes, the
    delta is found and applied, and the completion box is the last."""
    status, out, err = run_maker(wine_run, checker, ["--json", folders[2], folders[0]], work)
    print(err, end="")
    report = json.loads(out) if out.strip() else {}
    problems = []
    if status not in (0, 1):
        problems.append("update-check ended with %d: %s" % (status, report.get("result", err.strip())))
    boxes = [box.get("text") for box in report.get("boxes", [])]
    if boxes[-1:] != ["アップデートが完了しました。"]:
        problems.append("update-check's boxes: %s" % boxes)
    if not report.get("delta_bytes_saved"):
        problems.append("update-check saw no delta: %s" % json.dumps(report, ensure_ascii=False)[:2000])
    return problems


def apply_with_update_exe(wine_run, driver, work, readonly, upper):
    """The e2e driver lays out the made patch and a copy of old/, presses Start,
    reads every box and compares the game folder with expected/: new/ with the
    new folders as the program names them."""
    expected = os.path.join(work, "expected")
    shutil.copytree(os.path.join(work, "new"), expected)
    for spelled, created in upper:
        os.rename(os.path.join(expected, spelled), os.path.join(expected, created))
    case = os.path.join(work, "case")
    os.mkdir(case)
    lines = ["about: a patch made by update-make, applied to a copy of OLD",
             "patch: ..\\patch", "game: ..\\old", "expected: ..\\expected",
             "registry: %s = {game}\\" % REGISTRY]
    lines += ["readonly: game\\" + r.split("\\", 1)[1] for r in readonly]
    lines += ["step: window", "step: title " + CAPTION, "step: key Enter",
              "step: box none main | %s | アップデートが完了しました。" % CAPTION, "step: answer", "step: exit"]
    with open(os.path.join(case, "case.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    open_to_wine(work)
    result = subprocess.run([wine_run, driver, case], capture_output=True, timeout=300)
    output = result.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    print(output + result.stderr.decode("utf-8", "replace"), end="")
    return [] if result.returncode == 0 else ["update.exe did not turn the copy of OLD into NEW (driver: %d)" % result.returncode]


def main():
    arguments = sys.argv[1:]
    mode, arguments = arguments[0], arguments[1:]
    wine_run = driver = exe = encoder = checker = None
    while arguments and arguments[0].startswith("--"):
        value = os.path.abspath(arguments[1])
        if arguments[0] == "--wine":
            wine_run = value
        elif arguments[0] == "--driver":
            driver = value
        elif arguments[0] == "--exe":
            exe = value
        elif arguments[0] == "--encoder":
            encoder = value
        elif arguments[0] == "--checker":
            checker = value
        arguments = arguments[2:]
    maker = os.path.abspath(arguments[0])
    if mode == "sample":
        return sample(wine_run, maker, os.path.abspath(arguments[1]))
    if mode == "delta-road":
        if not os.path.isfile(maker):
            print("SKIP: no host update-make at %s (build the host preset first)" % maker)
            return 77
        return road(wine_run, driver, exe, None, os.path.abspath(arguments[1]), host_maker=maker)
    if mode == "kit-road" and not os.path.isfile(encoder):
        print("SKIP: no xdelta3.exe at %s (scripts/build-xdelta3 builds it)" % encoder)
        return 77
    return road(wine_run, driver, exe, maker, os.path.abspath(arguments[1]), encoder=encoder, checker=checker)


if __name__ == "__main__":
    sys.exit(main())
