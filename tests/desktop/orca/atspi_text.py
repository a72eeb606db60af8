"""Writes a text into the focused editable field of the program through the accessibility
interface: what an input method would commit, for the kana that xdotool cannot type."""

import sys

import pyatspi


def focused(node, depth=0):
    if node is None or depth > 40:
        return None
    try:
        states = node.getState()
    except Exception:
        return None
    if states.contains(pyatspi.STATE_FOCUSED) and states.contains(pyatspi.STATE_EDITABLE):
        return node
    for index in range(node.childCount):
        found = focused(node.getChildAtIndex(index), depth + 1)
        if found is not None:
            return found
    return None


def main():
    text = sys.argv[1]
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is None or "yotenna" not in (app.name or "").lower():
            continue
        field = focused(app)
        if field is not None:
            editable = field.queryEditableText()
            caret = field.queryText().caretOffset
            editable.insertText(caret, text, len(text))
            return 0
    print("no focused editable field in the program", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
