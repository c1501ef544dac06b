#!/usr/bin/env python3
"""Agreement of update-check with the end-to-end suite.

For every case of tests/e2e/cases whose steps press Start (or whose program stops
at start-up) and whose set-up update-check can model, update-check runs on the
case's update.ini, update/ and game/ and must predict whether the program stops
at start-up, the case's `box` steps in their order (which the e2e suite checks
against the real program under Wine) and the case's expected game folder (names
with their letter case, sizes, read-only marks). A case that starts the program
with arguments ("{program}" followed by options and a folder) passes them with
--command-line; a run without a window must then predict the case's `logged`
lines and its exit status, and a case with `noted` steps the notes too, in
order among the boxes' lines, the system's text of an error left out (the
in-memory machine knows only its number). Other cases are skipped and counted
with the reason.

    agreement.py CHECKER CASES_FOLDER [CASE...]
"""
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

# The shared module lies in the source tree, which is to stay free of bytecode.
sys.dont_write_bytecode = True
from case_files import make_read_only, make_writable, native, read_lines


def step_text(text):
    """A text of a step: \\n a line feed, \\\\ a backslash, {x*600} 600 copies of x."""
    text = re.sub(r"\{(.)\*(\d+)\}", lambda m: m.group(1) * int(m.group(2)), text)
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "n\\":
            out.append("\n" if text[i + 1] == "n" else "\\")
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def log_entry(title, text):
    """A logged box as the program writes it: title, tab, text, with \\ \\n \\r \\t escaped."""
    escape = lambda t: t.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")
    return escape(title) + "\t" + escape(text)


def note_entry(text):
    """A note as the program writes it: "# " and the text with the log's escapes."""
    return "# " + log_entry("", text)[1:]


def without_system_text(line):
    """A note's reason as the number alone: ": <system's text> (エラー N)" becomes ": エラー N"."""
    return re.sub(r": [^:\t]* \(エラー (\d+)\)$", r": エラー \1", line)


def presses_start(steps):
    """Whether Start is pressed: a click on it, or Enter or Space while it has the focus."""
    focus = "Start"
    for kind, argument in steps:
        if kind == "focus":
            focus = argument
        elif kind == "click" and argument == "Start":
            return True
        elif kind == "key":
            if argument in ("Enter", "Space") and focus == "Start":
                return True
            if argument not in ("Enter", "Space"):
                focus = None  # Tab and the arrows move it; a later focus step tells where
    return False


def plan(case_folder):
    """What to run, or the reason to skip: (plan, None) or (None, reason)."""
    lines = read_lines(os.path.join(case_folder, "case.txt"))
    steps = []
    for name, value in lines:
        if name == "step":
            kind, _, argument = value.partition(" ")
            steps.append((kind, argument.strip()))
    boxes = []
    for kind, argument in steps:
        if kind == "box":
            head, title, text = [part.strip() for part in argument.split("|", 2)]
            icon, owner = head.split()
            boxes.append({"title": step_text(title), "text": step_text(text), "icon": icon, "owner": owner})
    logged = [log_entry(*[step_text(part.strip()) for part in argument.split("|", 2)[1:]]) if kind == "logged"
              else note_entry(step_text(argument.split("|", 1)[1].strip().replace("{game}", "C:\\Game")))
              for kind, argument in steps if kind in ("logged", "noted")]
    notes_listed = any(kind == "noted" for kind, _ in steps)
    exit_status = next((int(argument or 0) for kind, argument in steps if kind == "exit"), 0)
    arguments = None
    for name, value in lines:
        if name == "command":
            if not value.startswith('"{program}"'):
                return None, "the program is started by another command line"
            arguments = value[len('"{program}"'):].strip().replace("{game}", "C:\\Game")
            if "{" in arguments:
                return None, "the command line names a place update-check does not lay out"
    silent = arguments is not None and re.search(r'(^|\s)"?/[sS]"?(\s|$)', arguments) is not None
    first_window = next((i for i, s in enumerate(steps) if s[0] == "window"), len(steps))
    first_box = next((i for i, s in enumerate(steps) if s[0] == "box"), len(steps))
    stops_at_start_up = first_box < first_window
    if not stops_at_start_up and not presses_start(steps) and not silent:
        return None, "Start is never pressed"

    settings = {"patch": ".", "game": "game", "expected": "expected", "game_path": None,
                "arguments": arguments, "silent": silent, "logged": logged, "exit_status": exit_status,
                "notes_listed": notes_listed}
    readonly, folders = [], []
    for name, value in lines:
        if name in ("patch", "game", "expected"):
            settings[name] = value
        elif name == "readonly":
            readonly.append(value)
        elif name == "folder":
            folders.append(value)
        elif name == "registry_absent" and not stops_at_start_up and arguments is None:
            return None, "the registry key is absent (update-check always records SAV_FOLDER)"
        elif name == "registry" and not stops_at_start_up:
            _, equals, sav_folder = value.partition(" = ")
            sav_folder = sav_folder.strip()
            if not equals:
                return None, "the registry key holds no SAV_FOLDER (update-check always records one)"
            if sav_folder.rstrip("\\") != "{game}":
                if "{game}" in sav_folder or not re.match(r"^[A-Za-z]:\\", sav_folder):
                    return None, "SAV_FOLDER is neither the game folder nor a Windows path"
                settings["game_path"] = step_text(sav_folder)
    if settings["game"] == "none" and not stops_at_start_up:
        return None, "no game folder is laid out"
    return {"boxes": boxes, "settings": settings, "readonly": readonly, "folders": folders,
            "stops_at_start_up": stops_at_start_up}, None


def lay_out(case_folder, case_plan, work):
    settings = case_plan["settings"]
    patch_source = native(case_folder, settings["patch"])
    patch = os.path.join(work, "patch")
    os.makedirs(patch)
    if os.path.isfile(os.path.join(patch_source, "update.ini")):
        shutil.copy(os.path.join(patch_source, "update.ini"), patch)
    if os.path.isdir(os.path.join(patch_source, "update")):
        shutil.copytree(os.path.join(patch_source, "update"), os.path.join(patch, "update"))
    # A patch with deltas: their list, the deltas and the whole files beside them, which update-check reads.
    if os.path.isfile(os.path.join(patch_source, "deltas.txt")):
        shutil.copy(os.path.join(patch_source, "deltas.txt"), patch)
    for folder in ("deltas", "whole"):
        if os.path.isdir(os.path.join(patch_source, folder)):
            shutil.copytree(os.path.join(patch_source, folder), os.path.join(patch, folder))
    game = os.path.join(work, "game")
    game_source = native(case_folder, settings["game"]) if settings["game"] != "none" else None
    if game_source and os.path.isdir(game_source):
        shutil.copytree(game_source, game)
    else:
        os.makedirs(game)
    places = {"game": game, "update": os.path.join(patch, "update")}
    expected_marks = []
    for value in case_plan["folders"]:
        place, _, rest = value.partition("\\")
        if place in places:
            os.makedirs(native(places[place], rest), exist_ok=True)
    for value in case_plan["readonly"]:
        place, _, rest = value.partition("\\")
        if place == "expected":
            expected_marks.append(rest)
        elif place in places:
            make_read_only(native(places[place], rest))
    return patch, game, expected_marks


def listing(folder, read_only_of):
    """The folder as (relative path, is folder, size, read-only), sorted without regard to case."""
    objects = []
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            full = os.path.join(root, name)
            relative = os.path.relpath(full, folder).replace("/", "\\")
            is_folder = os.path.isdir(full)
            objects.append((relative + ("\\" if is_folder else ""), is_folder,
                            0 if is_folder else os.path.getsize(full), read_only_of(relative, full)))
    return sorted(objects, key=lambda o: o[0].lower())


def expected_listing(case_folder, case_plan, game, expected_marks):
    settings = case_plan["settings"]
    expected_source = native(case_folder, settings["expected"])
    if settings["expected"] != "unchanged" and os.path.isdir(expected_source):
        marks = {m.lower() for m in expected_marks}
        objects = listing(expected_source, lambda relative, full: relative.lower() in marks)
        # Empty folders, which git cannot hold, are named in case.txt.
        known = {o[0].lower() for o in objects}
        for value in case_plan["folders"]:
            place, _, rest = value.partition("\\")
            names = rest.split("\\") if place == "expected" else []
            for depth in range(1, len(names) + 1):
                folder = "\\".join(names[:depth]) + "\\"
                if folder.lower() not in known:
                    known.add(folder.lower())
                    objects.append((folder, True, 0, False))
        return sorted(objects, key=lambda o: o[0].lower())
    return listing(game, lambda relative, full: os.path.isfile(full) and not os.stat(full).st_mode & stat.S_IWUSR)


def run_case(checker, case_folder, case_plan):
    """(differences, None), no differences when update-check agrees; or ([], reason) to skip."""
    with tempfile.TemporaryDirectory() as work:
        patch, game, expected_marks = lay_out(case_folder, case_plan, work)
        expected = expected_listing(case_folder, case_plan, game, expected_marks)
        command = [checker, "--json", "--list-after"]
        if case_plan["settings"]["game_path"]:
            command += ["--game-path", case_plan["settings"]["game_path"]]
        if case_plan["settings"]["arguments"] is not None:
            command += ["--command-line", case_plan["settings"]["arguments"]]
        result = subprocess.run(command + [patch, game], capture_output=True)
        make_writable(work)
    if result.returncode == 3:
        refusal = result.stderr.decode("utf-8", "replace").strip()
        if "no Shift-JIS form" in refusal:
            return [], "a name has no Shift-JIS form (" + refusal + ")"
        return ["update-check refused the case: " + refusal], None
    report = json.loads(result.stdout.decode("utf-8"))
    differences = []
    if report["started_up"] == case_plan["stops_at_start_up"]:
        differences.append("start-up: the case %s at start-up, update-check predicts it %s"
                           % ("stops" if case_plan["stops_at_start_up"] else "does not stop",
                              "does not" if case_plan["stops_at_start_up"] else "does"))
    predicted = [{k: box[k] for k in ("title", "text", "icon", "owner")} for box in report["boxes"]]
    if predicted != case_plan["boxes"]:
        differences.append("boxes: the case shows %s, update-check predicts %s"
                           % (json.dumps(case_plan["boxes"], ensure_ascii=False), json.dumps(predicted, ensure_ascii=False)))
    settings = case_plan["settings"]
    if settings["silent"]:
        lines = report.get("log", {}).get("text", "").split("\r\n")[:-1]
        # A note is a line without a tab; a case without noted steps checks the boxes' lines alone.
        if not settings["notes_listed"]:
            lines = [line for line in lines if "\t" in line]
        lines = [without_system_text(line) for line in lines]
        if lines != [without_system_text(line) for line in settings["logged"]]:
            differences.append("log: the case writes %s, update-check predicts %s"
                               % (json.dumps(settings["logged"], ensure_ascii=False), json.dumps(lines, ensure_ascii=False)))
        if report["exit_status"] != settings["exit_status"]:
            differences.append("exit status: the case ends with %d, update-check predicts %d"
                               % (settings["exit_status"], report["exit_status"]))
    after = sorted(((o["path"], o["folder"], o.get("size", 0), o["read_only"]) for o in report["after"]),
                   key=lambda o: o[0].lower())
    if after != expected:
        missing = [o for o in expected if o not in after]
        extra = [o for o in after if o not in expected]
        differences.append("game folder: expected but not predicted %s; predicted but not expected %s" % (missing, extra))
    return differences, None


def main():
    checker, cases_folder = sys.argv[1], sys.argv[2]
    names = sys.argv[3:] or sorted(os.listdir(cases_folder))
    agreed, failed, skipped = [], [], []
    for name in names:
        case_folder = os.path.join(cases_folder, name)
        if not os.path.isfile(os.path.join(case_folder, "case.txt")):
            continue
        try:
            case_plan, reason = plan(case_folder)
        except (ValueError, OSError) as problem:
            case_plan, reason = None, "case.txt cannot be read: %s" % problem
        if case_plan is None:
            skipped.append((name, reason))
            continue
        differences, reason = run_case(checker, case_folder, case_plan)
        if reason:
            skipped.append((name, reason))
            continue
        (failed if differences else agreed).append((name, differences))
    for name, differences in failed:
        print("DIFFERS  %s" % name)
        for difference in differences:
            print("         " + difference)
    for name, _ in agreed:
        print("agrees   %s" % name)
    for name, reason in skipped:
        print("skipped  %s: %s" % (name, reason))
    print("agreement: %d cases agree, %d differ, %d skipped" % (len(agreed), len(failed), len(skipped)))
    return 1 if failed or not agreed else 0


if __name__ == "__main__":
    sys.exit(main())
