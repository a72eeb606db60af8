#pragma once

#include <QDateTime>
#include <QString>

// The clock label: "今は2026年12月07日月曜日         21:30:05です".
QString clockText(const QDateTime& now);

// What an alarm that went off late says about its time: "07:30 の予定です", or with the date,
// "12/06 23:59 の予定です", when it was due on another day than today (now).
QString dueNotice(const QDateTime& due, const QDateTime& now);

// The time an alarm shows in its pop-up and notification: "07:30" when it goes off on time,
// the due notice above when it went off late.
QString alarmTimeText(const QDateTime& due, const QDateTime& now, bool late);

// The pop-up's split between the title band and the picture, by the title's length in
// characters. All in twips except the font size; the picture always ends at 10815.
struct AlarmLayout {
  int titlePointSize = 48;
  int titleHeight = 1005;
  int pictureTop = 1020;
  int pictureHeight = 9795;
};
AlarmLayout alarmLayout(const QString& title);

// The one message of a tick that went wrong, whatever the cause.
inline const QString kTimerTroubleMessage = QStringLiteral(
    "指定された場所に画像がない可能性があります。今後タイマーが正常に動作しない可能性があります"
    "ので『Yotenna』を再起動してください。");
