#include "alarm/MinuteScan.h"

#include <optional>

#include "alarm/TimerFields.h"
#include "store/DataFileLock.h"
#include "store/DataFileScan.h"
#include "store/Rewrite.h"

namespace {

constexpr qint64 kMinutesPerDay = 24 * 60;

std::optional<AlarmKind> kindOf(const QString& text) {
  if (text == u"0") return AlarmKind::Once;
  if (text == u"1") return AlarmKind::Weekly;
  if (text == u"2") return AlarmKind::Daily;
  return std::nullopt;
}

// The latest minute number in the range at which the timer is due, if any.
std::optional<qint64> dueMinute(const TimerRecord& timer, AlarmKind kind,
                                const MinuteRange& range) {
  const std::optional<int> hour = fixedDigits(timer.TimerHour.toText(), 2, 0, 23);
  const std::optional<int> minute = fixedDigits(timer.TimerMinute.toText(), 2, 0, 59);
  if (!hour || !minute) return std::nullopt;
  const qint64 timeOfDay = *hour * 60 + *minute;
  const qint64 last = range.throughMinute();
  const qint64 lastDay = last / kMinutesPerDay;

  qint64 due = 0;
  switch (kind) {
    case AlarmKind::Once: {
      const std::optional<int> year = fixedDigits(timer.TimerYearOrWeekday.toText(), 4, 1, 9999);
      const std::optional<int> month = fixedDigits(timer.TimerMonth.toText(), 2, 1, 12);
      const std::optional<int> day = fixedDigits(timer.TimerDay.toText(), 2, 1, 31);
      if (!year || !month || !day) return std::nullopt;
      const QDate date(*year, *month, *day);
      if (!date.isValid()) return std::nullopt;  // 02/30 and the like
      due = date.toJulianDay() * kMinutesPerDay + timeOfDay;
      if (due > last) return std::nullopt;
      break;
    }
    case AlarmKind::Weekly: {
      const std::optional<int> weekday = weekdayOfKanji(timer.TimerYearOrWeekday.toText());
      if (!weekday) return std::nullopt;
      const int lastWeekday = QDate::fromJulianDay(lastDay).dayOfWeek() % 7;  // Sunday 0
      due = (lastDay - (lastWeekday - *weekday + 7) % 7) * kMinutesPerDay + timeOfDay;
      if (due > last) due -= 7 * kMinutesPerDay;
      break;
    }
    case AlarmKind::Daily:
      due = lastDay * kMinutesPerDay + timeOfDay;
      if (due > last) due -= kMinutesPerDay;
      break;
  }
  if (due <= range.afterMinute()) return std::nullopt;
  return due;
}

}  // namespace

MinuteScanResult scanDueTimers(const QString& path, const MinuteRange& minutes) {
  MinuteScanResult result;
  if (minutes.isEmpty()) return result;

  // Reading first, writing only if a once-only timer has to go: a scan that fires nothing, or
  // only repeating timers, must not touch the file every minute, nor wait for its lock.
  QList<TimerRecord> toRemove;
  result.status = scanTimers(path, [&](const TimerRecord& timer) {
    const std::optional<AlarmKind> kind = kindOf(timer.TimerKind.toText());
    if (!kind) return;
    const std::optional<qint64> due = dueMinute(timer, *kind, minutes);
    if (!due) return;
    result.fired.append(FiredTimer{timer.TimerTitle.toText(), timer.TimerPicture.toText(), *kind,
                                   minutes.momentOf(*due), *due < minutes.throughMinute()});
    if (*kind == AlarmKind::Once) toRemove.append(timer);
  });
  if (!result.status || toRemove.isEmpty()) return result;

  // The removal reads the file again under its lock and takes out the fired timers by their
  // contents, so that a change another copy made since the scan is kept; a timer another copy
  // has already taken out is not missed.
  const DataFileLock lock(path);
  if (!lock.isHeld()) {
    result.status = lock.status();
    return result;
  }
  RewriteSteps steps;
  qsizetype removed = 0;
  steps.timer = [&](const TimerRecord& timer, RecordSink& sink) {
    if (removed < toRemove.size() && timer == toRemove[removed]) {
      ++removed;
      return;
    }
    sink.write(timer);
  };
  const RewriteResult rewrite = rewriteDataFile(path, steps);
  result.status = rewrite.status;
  if (result.status) result.removedOnceTimers = static_cast<int>(removed);
  return result;
}
