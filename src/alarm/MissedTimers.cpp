#include "alarm/MissedTimers.h"

#include <algorithm>

#include "alarm/MinuteRange.h"
#include "shared/DateFormat.h"
#include "store/Purge.h"
#include "store/TimerView.h"

namespace {

struct Missed {
  long long moment = 0;  // yyyymmddhhnn, as the purge compared it
  QString line;
  std::optional<QDateTime> due;
};

QString twoDigits(long long value) { return QStringLiteral("%1").arg(value, 2, 10, QChar(u'0')); }

Missed describe(const TimerRecord& timer, const QDateTime& now) {
  // The purge read the fields as numbers; so does the list, so that what it says matches.
  const auto [year, month, day, hour, minute] = TimerView(timer).momentValues();
  Missed missed;
  missed.moment = timerMoment(year, month, day, hour, minute);
  const QDate date(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
  const QTime time(static_cast<int>(hour), static_cast<int>(minute));
  const QString dateText = date.isValid() && year >= 1 && year <= 9999
                               ? formatDate(date, u"yyyy/mm/dd(aaa)")
                               : QStringLiteral("%1/%2/%3")
                                     .arg(year, 4, 10, QChar(u'0'))
                                     .arg(twoDigits(month), twoDigits(day));
  const QString timeText = time.isValid() ? formatDateTime(date, time, u"hh:nn")
                                          : twoDigits(hour) + u':' + twoDigits(minute);
  missed.line = dateText + u' ' + timeText + QStringLiteral("　") + timer.TimerTitle.toText();
  if (date.isValid() && time.isValid()) {
    QDateTime due = now;
    due.setDate(date);
    due.setTime(time);
    missed.due = due;
  }
  return missed;
}

}  // namespace

MissedTimers missedTimers(const QList<TimerRecord>& removed, const QDateTime& now) {
  MissedTimers result;
  if (removed.isEmpty()) return result;

  const qint64 nowMinute = MinuteRange::minuteNumber(now);
  QList<Missed> all;
  for (const TimerRecord& timer : removed) {
    Missed missed = describe(timer, now);
    if (missed.due) {
      const qint64 dueMinute = MinuteRange::minuteNumber(*missed.due);
      if (dueMinute < nowMinute && nowMinute - dueMinute < 24 * 60) {
        result.ringLate.append(FiredTimer{timer.TimerTitle.toText(), timer.TimerPicture.toText(),
                                          AlarmKind::Once, *missed.due, true});
      }
    }
    all.append(std::move(missed));
  }

  std::stable_sort(all.begin(), all.end(),
                   [](const Missed& a, const Missed& b) { return a.moment < b.moment; });
  QStringList lines{kMissedTimersHeading, QString()};
  const qsizetype left = std::max<qsizetype>(0, all.size() - kMissedTimersListed);
  if (left > 0) lines << QStringLiteral("（このほかに、もっと前のものが %1 件あります）").arg(left);
  for (qsizetype i = left; i < all.size(); ++i) lines << all[i].line;
  result.message = lines.join(u'\n');
  return result;
}
