#!/usr/bin/env python3
"""Runs update-check on each fixture folder and compares its whole report.

A fixture holds patch/ (update.ini and update/), game/, fixture.txt and
expected.txt: the output (stdout, then stderr) and the exit status, compared
whole. fixture.txt lines: `about: ...`, `args: ...` (options before the two
folders, grouped by double quotes, or single quotes around double ones), `readonly: game\\x` or `readonly: patch\\x` (the mark git cannot keep),
`hidden: game\\x` (the hidden bit of Wine's user.DOSATTRIB attribute), `order: game patch`
(the two folders named the wrong way round).

    run_fixtures.py [--wine WINE_RUN] [--update] CHECKER FIXTURES [NAME...]

With --wine the checker is a Windows program run through WINE_RUN (the folders
are then read through Wine's own view of the Linux file system). --update
rewrites expected.txt from what the checker prints.
"""
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

# The shared module lies in the source tree, which is to stay free of bytecode.
sys.dont_write_bytecode = True
from case_files import make_read_only, make_writable, native, read_lines


def settings(folder):
    args, readonly, hidden, order = [], [], [], ["patch", "game"]
    for name, value in read_lines(os.path.join(folder, "fixture.txt")):
        if name == "args":
            # Backslashes stay as written; quotes only group an argument (single
            # quotes one that holds double quotes).
            args = [a[1:-1] if len(a) > 1 and a[0] == a[-1] and a[0] in "\"'" else a
                    for a in shlex.split(value, posix=False)]
        elif name == "readonly":
            readonly.append(value)
        elif name == "hidden":
            hidden.append(value)
        elif name == "order":
            order = value.split()
    return args, readonly, hidden, order


def run(fixture, checker, wine_run):
    args, readonly, hidden, order = settings(fixture)
    work = tempfile.mkdtemp(prefix="update-check-")
    try:
        for part in ("patch", "game"):
            shutil.copytree(os.path.join(fixture, part), os.path.join(work, part))
        for relative in readonly:
            make_read_only(native(work, relative))
        for relative in hidden:
            os.setxattr(native(work, relative), "user.DOSATTRIB", b"0x2")
        # Wine runs as another user, who must read the copy.
        for root, dirs, _ in os.walk(work):
            os.chmod(root, 0o755)
        command = ([wine_run] if wine_run else []) + [checker] + args + order
        result = subprocess.run(command, cwd=work, capture_output=True, timeout=120)
    finally:
        make_writable(work)
        shutil.rmtree(work)
    output = result.stdout + result.stderr
    return output.decode("utf-8", "replace").replace("\r\n", "\n") + "exit %d\n" % result.returncode


def main():
    arguments = sys.argv[1:]
    wine_run, update = None, False
    if arguments[:1] == ["--wine"]:
        wine_run, arguments = os.path.abspath(arguments[1]), arguments[2:]
    if arguments[:1] == ["--update"]:
        update, arguments = True, arguments[1:]
    checker, fixtures = os.path.abspath(arguments[0]), arguments[1]
    names = arguments[2:] or sorted(n for n in os.listdir(fixtures) if os.path.isdir(os.path.join(fixtures, n)))
    failed = 0
    for name in names:
        fixture = os.path.join(fixtures, name)
        actual = run(fixture, checker, wine_run)
        expected_file = os.path.join(fixture, "expected.txt")
        if update:
            with open(expected_file, "w", encoding="utf-8") as f:
                f.write(actual)
            print("written  " + name)
            continue
        with open(expected_file, encoding="utf-8") as f:
            expected = f.read()
        if actual == expected:
            print("same     " + name)
        else:
            failed += 1
            print("DIFFERS  " + name)
            print("--- expected\n" + expected + "--- update-check printed\n" + actual + "---")
    print("fixtures: %d of %d as expected" % (len(names) - failed, len(names)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
