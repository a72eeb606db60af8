#!/usr/bin/python3
"""The phone of the sync tests: another CalDAV client (python3-caldav) on the same calendar.

  sync_phone.py URL USER PASSWORD CALENDAR make
  sync_phone.py URL USER PASSWORD CALENDAR add            (a VCALENDAR on stdin)
  sync_phone.py URL USER PASSWORD CALENDAR change SUMMARY NAME VALUE
  sync_phone.py URL USER PASSWORD CALENDAR delete SUMMARY
  sync_phone.py URL USER PASSWORD CALENDAR list           (JSON on stdout: events, tasks, journals)
"""
import json
import sys

import caldav
import icalendar


def calendar(client, name):
    principal = client.principal()
    for cal in principal.calendars():
        if str(cal.url).rstrip("/").endswith("/" + name):
            return cal
    raise SystemExit("no calendar " + name)


def by_summary(cal, summary):
    for event in cal.events():
        parsed = icalendar.Calendar.from_ical(event.data)
        for component in parsed.walk("VEVENT"):
            if str(component.get("SUMMARY")) == summary:
                return event
    raise SystemExit("no event " + summary)


def main():
    url, user, password, name, command = sys.argv[1:6]
    args = sys.argv[6:]
    client = caldav.DAVClient(url=url, username=user, password=password)
    if command == "make":
        client.principal().make_calendar(name=name, cal_id=name)
        return
    cal = calendar(client, name)
    if command == "add":
        cal.save_event(sys.stdin.read())
    elif command == "change":
        summary, prop, value = args
        event = by_summary(cal, summary)
        parsed = icalendar.Calendar.from_ical(event.data)
        for component in parsed.walk("VEVENT"):
            if prop in component:
                del component[prop]
            component.add(prop, value)
            component["SEQUENCE"] = int(component.get("SEQUENCE", 0)) + 1
        event.data = parsed.to_ical().decode()
        event.save()
    elif command == "delete":
        by_summary(cal, args[0]).delete()
    elif command == "list":
        found = []
        for event in cal.events() + cal.todos(include_completed=True) + cal.journals():
            parsed = icalendar.Calendar.from_ical(event.data)
            components = parsed.walk("VEVENT") + parsed.walk("VTODO") + parsed.walk("VJOURNAL")
            for component in components:
                item = {"raw": event.data, "KIND": component.name}
                for key, value in component.property_items(recursive=False):
                    if key in ("BEGIN", "END") or key in item:
                        continue
                    item[key] = value.to_ical().decode() if hasattr(value, "to_ical") else str(value)
                item["ALARMS"] = len(component.walk("VALARM"))
                found.append(item)
        json.dump(found, sys.stdout, ensure_ascii=False)
    else:
        raise SystemExit("unknown command " + command)


main()
