"""Walks every window of the program with the keyboard while Orca listens, and checks what
Orca says at each key against the table below.

    orca_walk.py YOTENNA_BINARY [--only NAME] [--transcript FILE] [--keep]

Each case starts the program afresh on a data file of its own (written in CP932 with today's
date, since the main window opens on today) and Orca keeps running between cases. A step is a
key as xdotool names it (sent through XTEST, as from a keyboard), "type:TEXT" (the text is
committed into the focused field through the accessibility interface, as an input method
would); a step may wait for a window the key opens. "start" is the program's start. After each
step the test waits until Orca has been quiet for a moment and checks what it said in it:
  say       patterns (regular expressions) each of which must be in what was said
  not_say   patterns none of which may be
  once      patterns that must be said exactly once
The transcript of everything Orca said, case by case and key by key, is printed and, with
--transcript, written to a file."""

import argparse
import datetime
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from orca_desktop import OrcaDesktop  # noqa: E402

TODAY = datetime.date.today()
WEEKDAYS = "月火水木金土日"
NEXT_YEAR = TODAY.year + 1


def spoken_day(day):
    return "%d月%d日 %s曜日" % (day.month, day.day, WEEKDAYS[day.weekday()])


def long_date(day):
    return "%04d年%02d月%02d日" % (day.year, day.month, day.day)


def spoken_date(day):
    return "%s %s曜日" % (long_date(day), WEEKDAYS[day.weekday()])


def spoken_week(day):
    # The calendar's row of the day, from Sunday, each day said on its own.
    sunday = day - datetime.timedelta(days=(day.weekday() + 1) % 7)
    return r"\. \| ".join(str((sunday + datetime.timedelta(days=i)).day) for i in range(7))


def record(*fields):
    return ",".join(fields) + "\r\n"


def q(text):
    return '"%s"' % text


def entry(day, subject, content, done=0, delete=0):
    return record(q(day.strftime("%Y/%m/%d")), q(subject), q(content), str(done), str(delete))


def timer(title, kind, year, month, day, hour, minute):
    return record(q(title), q(kind), q(year), q(month), q(day), q(hour), q(minute), q(""))


MARKER = record(q("タイマ"), q(""), q(""), "0", "0")

# The data files. An alarm that must not ring is set for next year or for a daily time
# written far from now.
ONE_ENTRY = entry(TODAY, "燃えるゴミ", "朝8時まで") + MARKER + timer(
    "会議", "2", "", "", "", "13", "00")
TWO_ENTRIES = (entry(TODAY, "燃えるゴミ", "朝8時まで") + entry(TODAY, "歯医者", "午後3時") +
               MARKER + timer("会議", "2", "", "", "", "13", "00") +
               timer("薬を飲む", "0", str(NEXT_YEAR), "01", "05", "07", "30"))


def missed_alarm():
    # A once-only timer that passed three minutes ago while the program was not running: on
    # opening the file the program says so, then rings it late.
    past = datetime.datetime.now() - datetime.timedelta(minutes=3)
    return entry(TODAY, "燃えるゴミ", "朝8時まで") + MARKER + timer(
        "ゴミ出し", "0", "%04d" % past.year, "%02d" % past.month, "%02d" % past.day,
        "%02d" % past.hour, "%02d" % past.minute)


# A list of rows is announced as a table, never as a tree.
TREE = r"\btree\b|ツリー"

MAIN = "Yotenna Version"
EDITOR = "新しいデータ？ 変更？ 削除？"
DATE_DIALOG = "年月日を指定してね"
SEARCH = "検索しま～す"
ALARM = "時間で～す"


def step(keys, window=None, say=(), not_say=(), once=()):
    return {"keys": keys, "window": window, "say": list(say), "not_say": list(not_say),
            "once": list(once)}


CASES = [
    # ---- main window ----
    ("main: the filter on arrival", ONE_ENTRY, [
        step("start", say=[r"絞り込み まだ"], once=[r"絞り込み まだ"]),
    ]),
    ("main: the day list speaks its one row on arrival, with its column names", ONE_ENTRY, [
        step("start"),
        step("Tab", say=[r"選択した日の予定", r"table with 1 row 4 columns", r"件名 燃えるゴミ",
                         r"内容 朝8時まで", r"終了 まだ", r"削除 残る"], not_say=[TREE],
             once=[r"件名 燃えるゴミ"]),
    ]),
    ("main: the day list's first row is heard, then Down reaches the second", TWO_ENTRIES, [
        step("start"),
        step("Tab", say=[r"件名 燃えるゴミ"], not_say=[r"歯医者"]),
        step("Down", say=[r"件名 歯医者", r"内容 午後3時"], not_say=[r"燃えるゴミ"]),
        step("Up", say=[r"件名 燃えるゴミ"]),
    ]),
    ("main: the timer list speaks its row on arrival, with its column names", TWO_ENTRIES, [
        step("start"),
        step("Tab"),
        step("Tab", say=[r"タイマーの一覧", r"table with 2 rows 5 columns", r"題名 会議",
                         r"種類 毎日", r"時間 13:00"], not_say=[TREE], once=[r"題名 会議"]),
        step("Down", say=[r"題名 薬を飲む", r"種類 一回"]),
    ]),
    ("main: Space on a timer list's row opens it in the editor", TWO_ENTRIES, [
        step("start"),
        step("Tab"),
        step("Tab"),
        step("Down", say=[r"題名 薬を飲む"]),
        step("space", window=EDITOR, say=[r"タイマーの件名", r"薬を飲む"]),
    ]),
    ("main: a day cell speaks its date, then its entries", TWO_ENTRIES, [
        step("start"),
        step("Tab"),
        step("Tab"),
        step("Tab", say=[spoken_day(TODAY) + r" 今日、燃えるゴミ、歯医者"]),
    ]),

    # ---- editor, entry ----
    ("editor: an entry opened from the day list", ONE_ENTRY, [
        step("start"),
        step("Tab"),
        step("Return", window=EDITOR, say=[r"予定の件名", r"燃えるゴミ"], not_say=[r"燃えるゴ(?!ミ)"],
             once=[r"燃えるゴミ"]),
        step("Tab", say=[r"予定の内容", r"朝8時まで"], not_say=[r"unselected"],
             once=[r"朝8時まで"]),
        step("shift+Tab", say=[r"予定の件名", r"燃えるゴミ"], not_say=[r"燃えるゴ(?!ミ)"],
             once=[r"燃えるゴミ"]),
    ]),
    ("editor: a new entry's date boxes, each value said once, and its subject", ONE_ENTRY, [
        step("start"),
        step("ctrl+n", window=EDITOR, say=[r"予定の年"], not_say=[r"予定の日付"],
             once=[str(TODAY.year)]),
        step("Tab", say=[r"予定の月"], not_say=[r"\bselected\b"],
             once=[r"(?<!\d)0?%d(?!\d)" % TODAY.month]),
        step("Tab", say=[r"予定の日"], once=[r"(?<!\d)0?%d(?!\d)" % TODAY.day]),
        step("Tab", say=[r"予定の件名"]),
        step("type:abc"),
        step("Tab", say=[r"予定の内容"]),
        step("shift+Tab", say=[r"予定の件名", r"\babc\b"], once=[r"\babc\b"]),
        step("Tab", say=[r"予定の内容"], not_say=[r"unselected"]),
        step("Tab", say=[r"予定の終了", r"check box"]),
        step("Tab", say=[r"予定を次回から削除します"]),
        step("Tab", say=[r"予定を追加", r"push button"]),
    ]),

    # ---- editor, timer ----
    ("editor: a timer opened from the list starts in the timer half", TWO_ENTRIES, [
        step("start"),
        step("Tab"),
        step("Tab"),
        step("Return", window=EDITOR, say=[r"タイマーの件名", r"会議"], not_say=[r"予定の"],
             once=[r"会議"]),
        step("Tab", say=[r"タイマーの種類", r"毎日", r"selected radio button"],
             not_say=[r"タイプ", r"一回だけ", r"unselected"], once=[r"タイマーの種類"]),
        step("Tab", say=[r"タイマーの時", r"13"], once=[r"(?<!\d)13(?!\d)"]),
        step("Tab", say=[r"タイマーの分"], once=[r"(?<!\d)00\."]),
        step("Tab", say=[r"タイマーの画像を選択"]),
        step("Tab", say=[r"タイマーを削除", r"push button"]),
    ]),

    # ---- date dialog ----
    ("date dialog: the date is spoken whole on every change, and the part moved to",
     ONE_ENTRY, [
        step("start"),
        step("ctrl+t", window=DATE_DIALOG, say=[r"表示"]),
        step("Tab", say=[r"閉じる"]),
        step("Tab", say=[r"表示する年月日", long_date(TODAY)]),
        step("Up", say=[spoken_date(TODAY.replace(year=NEXT_YEAR))], not_say=[r"\btable\b"]),
        step("Right", say=[r"月 %02d" % TODAY.month]),
        step("Down", say=[spoken_date(TODAY.replace(year=NEXT_YEAR, month=TODAY.month - 1)
                                      if TODAY.month > 1 else TODAY.replace(month=12))]),
        step("Right", say=[r"日 %02d" % TODAY.day]),
        step("Right", say=[r"日 %02d" % TODAY.day]),
        step("Left", say=[r"月 %02d" % (TODAY.month - 1 if TODAY.month > 1 else 12)]),
        step("Left", say=[r"年 %d" % NEXT_YEAR]),
    ]),
    ("date dialog: F4 and Alt+Down open the calendar and change nothing", ONE_ENTRY, [
        step("start"),
        step("ctrl+t", window=DATE_DIALOG),
        step("Tab"),
        step("Tab"),
        step("F4", say=[spoken_week(TODAY)], not_say=[long_date(TODAY.replace(day=1))]),
        step("Escape", say=[r"表示する年月日", spoken_date(TODAY)]),
        step("alt+Down", say=[spoken_week(TODAY)]),
        step("Escape", say=[long_date(TODAY)]),
    ]),

    # ---- search ----
    ("search: a search says how many it found; the row is read on arrival", ONE_ENTRY, [
        step("start"),
        step("ctrl+y", window=SEARCH, say=[r"検索したい文字"]),
        step("type:燃える"),
        step("Return", say=[r"1件見つかりました"]),
        step("Tab"),
        step("Tab"),
        step("Tab"),
        step("Tab", say=[r"検索結果", r"table with 1 row", r"日付け " + TODAY.strftime("%Y/%m/%d"),
                         r"件名 燃えるゴミ"], not_say=[TREE]),
        step("Return", window=EDITOR, say=[r"予定の件名", r"燃えるゴミ"]),
    ]),
    ("search: a search that finds nothing says so", ONE_ENTRY, [
        step("start"),
        step("ctrl+y", window=SEARCH),
        step("type:ないもの"),
        step("Return", say=[r"該当する予定がありません"]),
    ]),
    ("search: the search text is read whole", ONE_ENTRY, [
        step("start"),
        step("ctrl+y", window=SEARCH),
        step("type:abc"),
        step("Tab", say=[r"検索したい項目 件名で検索"], not_say=[r"unselected"],
             once=[r"検索したい項目を選択してください"]),
        step("shift+Tab", say=[r"検索したい文字", r"\babc\b"], once=[r"\babc\b"]),
    ]),

    # ---- menus ----
    ("menus: each menu says its name when reached", ONE_ENTRY, [
        step("start"),
        step("F10", once=[r"ファイル"], not_say=[r"絞り込み"]),
        step("Down", say=[r"新規作成"]),
        step("Right", say=[r"表示\.? \| コンパクト"], not_say=[r"絞り込み"]),
        step("Right", say=[r"年月日変更"]),
        step("Left", say=[r"表示\.? \| コンパクト"]),
        step("Escape"),
    ]),

    # ---- alarm pop-up ----
    ("alarm pop-up: a missed timer is reported, then rings", missed_alarm(), [
        step("start", say=[r"Yotenna が動いていない間に過ぎたタイマーがあります",
                                  r"ゴミ出し"]),
        # The pop-up comes up without the focus: it is told as a notification, and the keys
        # go on to the window the user is in.
        step("Return", window=ALARM, say=[r"ゴミ出し", r"の予定です"]),
        step("Tab", say=[r"選択した日の予定"], not_say=[r"5分後にもう一度"]),
    ]),
]


def check(said, expectation):
    text = " | ".join(said)
    faults = []
    for pattern in expectation["say"]:
        if not re.search(pattern, text):
            faults.append("did not say /%s/" % pattern)
    for pattern in expectation["not_say"]:
        if re.search(pattern, text):
            faults.append("said /%s/" % pattern)
    for pattern in expectation["once"]:
        count = len(re.findall(pattern, text))
        if count != 1:
            faults.append("said /%s/ %d times, not once" % (pattern, count))
    return faults


def run_case(desktop, binary, name, data, steps, out):
    path = os.path.join(desktop.root, "case.dat")
    with open(path, "wb") as file:
        file.write(data.encode("cp932"))
    faults = []
    heard = len(desktop.utterances())
    out("== " + name)
    desktop.start_program(binary, path, title="Yotenna")
    for expectation in steps:
        keys = expectation["keys"]
        if keys == "start":
            desktop.settle(first=4.0, quiet=1.0)
        elif keys.startswith("type:"):
            desktop.type_text(keys[5:])
            desktop.settle()
        else:
            desktop.key(keys)
            if expectation["window"]:
                desktop.wait_window(expectation["window"])
                desktop.settle(first=4.0, quiet=1.0)
            else:
                desktop.settle()
        said = desktop.utterances()[heard:]
        heard += len(said)
        out("  %-12s %s" % (keys, " | ".join(said)))
        for fault in check(said, expectation):
            faults.append("%s, at %s: %s" % (name, keys, fault))
            out("  FAULT: " + fault)
    desktop.stop_program()
    desktop.settle(first=0.5)
    return faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--only", help="runs only the cases whose name contains this")
    parser.add_argument("--transcript")
    parser.add_argument("--keep", action="store_true", help="keeps the desktop's folder")
    args = parser.parse_args()

    lines = []

    def out(line):
        print(line, flush=True)
        lines.append(line)

    faults = []
    with OrcaDesktop(keep=args.keep) as desktop:
        out("Orca: " + " | ".join(desktop.utterances()))
        for name, data, steps in CASES:
            if args.only and args.only not in name:
                continue
            faults += run_case(desktop, args.binary, name, data, steps, out)
    if args.transcript:
        with open(args.transcript, "w", encoding="utf-8") as file:
            file.write("\n".join(lines) + "\n")
    if faults:
        print("\n%d faults:\n  %s" % (len(faults), "\n  ".join(faults)))
        return 1
    print("\nevery step was heard as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
