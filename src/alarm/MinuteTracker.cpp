#include "alarm/MinuteTracker.h"

#include <algorithm>

std::optional<MinuteRange> MinuteTracker::tick(const QDateTime& now) {
  if (!now.isValid()) return std::nullopt;
  const qint64 minute = MinuteRange::minuteNumber(now);
  if (!latestMinute_) {
    latestMinute_ = minute;
    if (now.time().second() != 0) return std::nullopt;
    return MinuteRange(minute - 1, minute, now);
  }
  if (minute < *latestMinute_ - 1) {
    latestMinute_ = minute;
    return MinuteRange(minute - 1, minute, now);
  }
  if (minute <= *latestMinute_) return std::nullopt;
  const qint64 after = std::max(*latestMinute_, minute - kCatchUpMinutes);
  latestMinute_ = minute;
  return MinuteRange(after, minute, now);
}
