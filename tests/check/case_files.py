"""What run_fixtures.py and agreement.py share: the `name: value` lines of a
fixture.txt or case.txt, their Windows-relative paths, and the write permission
of the folders they lay out."""
import os
import stat


def read_lines(path):
    """The `name: value` lines of a file as (name, value) pairs, both stripped;
    blank lines and lines starting with # are left out."""
    lines = []
    with open(path, encoding="utf-8") as f:
        for raw in f:
            raw = raw.strip()
            if not raw or raw.startswith("#"):
                continue
            name, _, value = raw.partition(":")
            lines.append((name.strip(), value.strip()))
    return lines


def native(folder, windows_relative):
    """A backslash-separated path relative to folder as a path of this system."""
    return os.path.normpath(os.path.join(folder, windows_relative.replace("\\", "/")))


def make_read_only(path):
    """Clears every write bit, as a read-only mark does on Windows."""
    os.chmod(path, stat.S_IMODE(os.stat(path).st_mode) & ~(stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH))


def make_writable(path):
    """Lets the owner write everything below path again, so that it can be removed."""
    for root, dirs, files in os.walk(path):
        for name in dirs + files:
            full = os.path.join(root, name)
            os.chmod(full, os.stat(full).st_mode | stat.S_IWUSR)
