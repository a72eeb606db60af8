#!/usr/bin/env python3
"""Checks that the includes of src/ point down the layers and form no circle.

Every folder has its rank in RANKS, a widgets/ subfolder its own. Top to bottom: app -> the
windows (every */widgets folder) -> ui -> the cores of alarm, editor, dialogs and exchange ->
calendar -> store -> shared. A file may include its own folder and the folders ranked below it.

The subsystems (alarm, editor, dialogs, exchange, calendar; each a core and perhaps a widgets
folder) stand side by side: a file of one includes a file of another only where SIDEWAYS says
so, and says why. Below the other cores, calendar/'s models are everyone's to include. An entry
of SIDEWAYS that no file makes any more is reported too, so that the list stays true.

The core (every file outside app/, ui/ and the widgets/ subfolders) includes no widget file and
no QtGui or QtWidgets header. Files with the same name and another extension are one unit; no
units and no folders include each other in a circle.

usage: check_layers.py SRC_DIR [QT_INCLUDE_DIR ...]
The Qt include directories (those of Qt6::Widgets) tell which Qt headers are QtGui or QtWidgets.
"""

import os
import re
import sys

RANKS = {
    "shared": 0,
    "store": 1,
    "calendar": 2,
    "alarm": 3, "editor": 3, "dialogs": 3, "exchange": 3,
    "ui": 4,
    "alarm/widgets": 5, "editor/widgets": 5, "dialogs/widgets": 5, "exchange/widgets": 5,
    "calendar/widgets": 5,
    "app": 6,
}
SUBSYSTEMS = ("alarm", "editor", "dialogs", "exchange", "calendar")
# The one folder of a subsystem that the others may include without a word.
SHARED_CORES = ("calendar",)

# The includes from one subsystem into another, each with the reason it exists.
SIDEWAYS = {
    ("alarm/Snooze.h", "editor/EditorInput.h"):
        "a snooze is a new timer as the editor would type it (TimerInput, EditorResult)",
    ("alarm/Snooze.cpp", "editor/TimerOperations.h"):
        "the snooze timer is added through the editor's addTimer, with its checks and rewrite",
    ("alarm/widgets/AlarmController.h", "editor/EditorInput.h"):
        "a snooze the editor's checks refuse is shown as the editor's EditorMessage",
    ("dialogs/widgets/SearchWindow.cpp", "editor/widgets/EditorWindow.h"):
        "a found entry opens in the record editor, as a row of the day list does",
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def gui_headers(qt_dirs):
    names = set()
    for qt_dir in qt_dirs:
        for module in ("QtGui", "QtWidgets"):
            for base in (qt_dir, os.path.join(qt_dir, module)):
                if os.path.basename(base) == module and os.path.isdir(base):
                    names.update(os.listdir(base))
                    names.add(module)
    return names


def folder_of(path):
    """The folder of a path relative to src/ that has a rank: a widgets/ subfolder, or the top."""
    parts = path.split("/")
    return "/".join(parts[:2]) if len(parts) > 2 and parts[1] == "widgets" else parts[0]


def is_sideways(folder, target_folder):
    """An include from one subsystem into another, other than into a shared core."""
    subsystem, target_subsystem = folder.split("/")[0], target_folder.split("/")[0]
    return (subsystem != target_subsystem and subsystem in SUBSYSTEMS
            and target_subsystem in SUBSYSTEMS and target_folder not in SHARED_CORES)


def is_widget_file(path):
    parts = path.split("/")
    return parts[0] in ("app", "ui") or (len(parts) > 2 and parts[1] == "widgets")


def find_cycle(graph):
    """A list of nodes forming a circle, or None."""
    state = {}
    stack = []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for target in sorted(graph.get(node, ())):
            if state.get(target) == 1:
                return stack[stack.index(target):] + [target]
            if target not in state:
                found = visit(target)
                if found:
                    return found
        stack.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    src = sys.argv[1]
    gui = gui_headers(sys.argv[2:])
    if sys.argv[2:] and not gui:
        print("no QtGui or QtWidgets headers found under", sys.argv[2:])
        return 2

    problems = []
    units = {}
    folders = {}
    sideways_seen = set()
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(root, name), src).replace(os.sep, "/")
            folder = folder_of(path)
            if folder not in RANKS:
                problems.append(f"{path}: the folder {folder}/ has no place in the layers")
                continue
            unit = os.path.splitext(path)[0]
            units.setdefault(unit, set())
            folders.setdefault(folder, set())
            with open(os.path.join(src, path), encoding="utf-8") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    quote, target = match.groups()
                    where = f"{path}:{number}: {target}"
                    if quote == "<":
                        if not is_widget_file(path) and target.split("/")[-1] in gui:
                            problems.append(f"{where}: a core file includes a widget header")
                        continue
                    if target.endswith(".moc"):
                        continue
                    target_folder = folder_of(target)
                    if target_folder not in RANKS:
                        problems.append(f"{where}: unknown folder")
                        continue
                    if RANKS[target_folder] > RANKS[folder]:
                        problems.append(f"{where}: {folder}/ includes upward into {target_folder}/")
                    elif is_sideways(folder, target_folder):
                        if (path, target) in SIDEWAYS:
                            sideways_seen.add((path, target))
                        else:
                            problems.append(f"{where}: {folder}/ includes sideways into "
                                            f"{target_folder}/ (not in SIDEWAYS)")
                    if not is_widget_file(path) and is_widget_file(target):
                        problems.append(f"{where}: a core file includes a widget file")
                    target_unit = os.path.splitext(target)[0]
                    if target_unit != unit:
                        units[unit].add(target_unit)
                    if target_folder != folder:
                        folders[folder].add(target_folder)

    for path, target in sorted(set(SIDEWAYS) - sideways_seen):
        problems.append(f"SIDEWAYS lists {path} -> {target}, which no longer includes it")

    for graph, what in ((units, "files"), (folders, "folders")):
        cycle = find_cycle(graph)
        if cycle:
            problems.append(f"{what} include each other in a circle: " + " -> ".join(cycle))

    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{len(units)} files in {len(folders)} folders: every include points down, "
          f"{len(sideways_seen)} sideways as listed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
