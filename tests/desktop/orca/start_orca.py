"""Starts Orca as /usr/bin/orca does, on the private desktop the tests made, but without
looking for other copies of Orca: other people's copies on other displays are none of ours,
and ours must not be mistaken for theirs (the process keeps the name python3)."""

import sys

from orca import debug, orca


def main():
    manager = orca.getSettingsManager()
    if not manager:
        print("Orca has no settings manager", file=sys.stderr)
        return 1
    manager.activate(None, {})
    sys.path.insert(0, manager.getPrefsDir())
    debug.println(debug.LEVEL_INFO, "yotenna tests: starting Orca", True)
    return orca.main()


if __name__ == "__main__":
    sys.exit(main())
