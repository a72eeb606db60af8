#include "alarm/ClockText.h"

#include "shared/DateFormat.h"

QString clockText(const QDateTime& now) {
  return QStringLiteral("今は") + formatDateTime(now, u"yyyy年mm月dd日aaaa         hh:nn:ss") +
         QStringLiteral("です");
}

QString dueNotice(const QDateTime& due, const QDateTime& now) {
  // Catch-up reaches back 24 hours at most, so month and day always tell the date apart.
  const QString time = due.date() == now.date() ? formatDateTime(due, u"hh:nn")
                                                : formatDateTime(due, u"mm/dd hh:nn");
  return time + QStringLiteral(" の予定です");
}

QString alarmTimeText(const QDateTime& due, const QDateTime& now, bool late) {
  return late ? dueNotice(due, now) : formatDateTime(due, u"hh:nn");
}

AlarmLayout alarmLayout(const QString& title) {
  // Characters, not UTF-16 units: a title may hold a character outside the BMP.
  if (title.toUcs4().size() <= 15) return AlarmLayout{48, 1005, 1020, 9795};
  return AlarmLayout{36, 765, 780, 10035};
}
