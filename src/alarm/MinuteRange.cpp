#include "alarm/MinuteRange.h"

namespace {
constexpr qint64 kMinutesPerDay = 24 * 60;
}

qint64 MinuteRange::minuteNumber(const QDateTime& moment) {
  const QTime time = moment.time();
  return moment.date().toJulianDay() * kMinutesPerDay + time.hour() * 60 + time.minute();
}

MinuteRange MinuteRange::single(const QDateTime& moment) {
  if (!moment.isValid()) return MinuteRange(0, 0, moment);
  const qint64 minute = minuteNumber(moment);
  return MinuteRange(minute - 1, minute, moment);
}

MinuteRange MinuteRange::between(const QDateTime& after, const QDateTime& through) {
  if (!after.isValid() || !through.isValid()) return MinuteRange(0, 0, through);
  return MinuteRange(minuteNumber(after), minuteNumber(through), through);
}

QDateTime MinuteRange::momentOf(qint64 minute) const {
  // Floor division: minute numbers of real dates are positive, but stay exact regardless.
  qint64 day = minute / kMinutesPerDay;
  qint64 within = minute % kMinutesPerDay;
  if (within < 0) {
    within += kMinutesPerDay;
    --day;
  }
  QDateTime moment = zoneOf_.isValid() ? zoneOf_ : QDateTime(QDate(2000, 1, 1), QTime(0, 0));
  moment.setDate(QDate::fromJulianDay(day));
  moment.setTime(QTime(static_cast<int>(within / 60), static_cast<int>(within % 60)));
  return moment;
}
