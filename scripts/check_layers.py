#!/usr/bin/env python3
"""Checks that the includes of src/ point down the layers and form no circle.

Layers, top to bottom: app -> the windows (alarm, editor, dialogs, exchange) -> ui -> calendar
-> store -> shared. A file may include its own folder and the folders below it. The core (every
file outside app/, ui/ and the windows' widgets/ subfolders) includes no widget file and no
QtGui or QtWidgets header. Files with the same name and another extension are one unit; no
units and no folders include each other in a circle.

usage: check_layers.py SRC_DIR [QT_INCLUDE_DIR ...]
The Qt include directories (those of Qt6::Widgets) tell which Qt headers are QtGui or QtWidgets.
"""

import os
import re
import sys

RANKS = {"shared": 0, "store": 1, "calendar": 2, "ui": 3,
         "alarm": 4, "editor": 4, "dialogs": 4, "exchange": 4, "app": 5}
# A widgets/ folder whose core ranks below ui/ ranks with the other windows.
FOLDER_RANKS = {"calendar/widgets": 4}
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
    """The layer folder of a path relative to src/, and its unit of folders for the graph."""
    parts = path.split("/")
    unit = "/".join(parts[:2]) if len(parts) > 2 and parts[1] == "widgets" else parts[0]
    return parts[0], unit


def rank_of(path):
    layer, folder = folder_of(path)
    return FOLDER_RANKS.get(folder, RANKS[layer])


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
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(root, name), src).replace(os.sep, "/")
            layer, folder = folder_of(path)
            if layer not in RANKS:
                problems.append(f"{path}: the folder {layer}/ has no place in the layers")
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
                    target_layer, target_folder = folder_of(target)
                    if target_layer not in RANKS:
                        problems.append(f"{where}: unknown folder")
                        continue
                    if rank_of(target) > rank_of(path):
                        problems.append(f"{where}: {layer}/ includes upward into {target_layer}/")
                    if not is_widget_file(path) and is_widget_file(target):
                        problems.append(f"{where}: a core file includes a widget file")
                    target_unit = os.path.splitext(target)[0]
                    if target_unit != unit:
                        units[unit].add(target_unit)
                    if target_folder != folder:
                        folders[folder].add(target_folder)

    for graph, what in ((units, "files"), (folders, "folders")):
        cycle = find_cycle(graph)
        if cycle:
            problems.append(f"{what} include each other in a circle: " + " -> ".join(cycle))

    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{len(units)} files in {len(folders)} folders: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
