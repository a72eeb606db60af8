#!/usr/bin/python3
# Writes japanese.ics with Debian's python3-icalendar: a calendar written by another program,
# in Japanese, with long lines that the writer folds. Run it again only to change the file.
import datetime as dt
import unicodedata

from icalendar import Alarm, Calendar, Event, Timezone, TimezoneStandard, Todo

stamp = dt.datetime(2025, 3, 1, 0, 0, 0, tzinfo=dt.timezone.utc)


def tokyo(*args):
    return dt.datetime(*args)


def event(uid, summary, **fields):
    item = Event()
    item.add("uid", uid)
    item.add("dtstamp", stamp)
    item.add("summary", summary)
    for name, value in fields.items():
        name = name.replace("_", "-")
        if isinstance(value, tuple):
            item.add(name, value[0], parameters=value[1])
        else:
            item.add(name, value)
    return item


def alarm(trigger, text):
    item = Alarm()
    item.add("action", "DISPLAY")
    item.add("trigger", trigger)
    item.add("description", text)
    return item


TZ = {"TZID": "Asia/Tokyo"}
cal = Calendar()
cal.add("prodid", "-//python icalendar 4.0.3//sample//JA")
cal.add("version", "2.0")
cal.add("x-wr-calname", "家族の予定")

zone = Timezone()
zone.add("tzid", "Asia/Tokyo")
standard = TimezoneStandard()
standard.add("dtstart", dt.datetime(1970, 1, 1))
standard.add("tzoffsetfrom", dt.timedelta(hours=9))
standard.add("tzoffsetto", dt.timedelta(hours=9))
standard.add("tzname", "JST")
zone.add_component(standard)
cal.add_component(zone)

cal.add_component(event(
    "trip@example.jp", "社員旅行（箱根）",
    dtstart=dt.date(2025, 4, 10), dtend=dt.date(2025, 4, 12),
    description="集合は新宿駅西口、朝７時半です。\n持ち物：保険証、着替え、雨具。"
                "宿は強羅の旅館、二日目は大涌谷と芦ノ湖を回って夕方に解散します。"))
dentist = event("dentist@example.jp", "歯医者", dtstart=(tokyo(2025, 4, 15, 10, 0), TZ),
                dtend=(tokyo(2025, 4, 15, 10, 30), TZ), description="10時〜10時半")
dentist.add_component(alarm(dt.timedelta(minutes=-30), "歯医者"))
cal.add_component(dentist)
garbage = event("garbage@example.jp", "燃えるゴミの日", dtstart=(tokyo(2025, 4, 7, 8, 0), TZ),
                rrule={"freq": "weekly", "byday": ["MO", "TH"]})
garbage.add_component(alarm(dt.timedelta(hours=-1), "ゴミ出し"))
cal.add_component(garbage)
cal.add_component(event("party@example.jp", "誕生日🎂パーティー",
                        dtstart=dt.date(2025, 5, 5),
                        description=unicodedata.normalize("NFD", "パンケーキを焼く")))
cal.add_component(event("long@example.jp",
                        "とても長い件名はエディターの二十文字の制限を超えてしまいます",
                        dtstart=dt.date(2025, 6, 1)))
cal.add_component(event("cancelled@example.jp", "中止になった会議",
                        dtstart=(tokyo(2025, 4, 20, 14, 0), TZ), status="CANCELLED"))
report = Todo()
report.add("uid", "report@example.jp")
report.add("dtstamp", stamp)
report.add("summary", "レポート提出")
report.add("due", tokyo(2025, 4, 30, 17, 0), parameters=TZ)
cal.add_component(report)

with open("japanese.ics", "wb") as out:
    out.write(cal.to_ical())
