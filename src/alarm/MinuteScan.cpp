#include "alarm/MinuteScan.h"

#include <optional>

#include "store/DataFileLock.h"
#include "store/DataFileScan.h"
#include "store/Rewrite.h"
#include "store/TimerView.h"

namespace {

constexpr qint64 kMinutesPerDay = 24 * 60;

// The latest minute number in the range at which the timer is due, if any.
std::optional<qint64> dueMinute(const TimerView& timer, AlarmKind kind, const MinuteRange& range) {
  const std::optional<QTime> time = timer.clockTime();
  if (!time) return std::nullopt;
  const qint64 timeOfDay = time->hour() * 60 + time->minute();
  const qint64 last = range.throughMinute();
  const qint64 lastDay = last / kMinutesPerDay;

  qint64 due = 0;
  switch (kind) {
    case AlarmKind::Once: {
      const std::optional<QDate> date = timer.clockDate();
      if (!date) return std::nullopt;
      due = date->toJulianDay() * kMinutesPerDay + timeOfDay;
      if (due > last) return std::nullopt;
      break;
    }
    case AlarmKind::Weekly: {
      const std::optional<int> weekday = timer.weekday();
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
  // only repeating timers, must not touch the file every minute, nor wait for its lock. The
  // removal then copies the entries before the marker the scan found unread, if the file is
  // still the one it read.
  const ScanSession session;
  QList<TimerRecord> toRemove;
  result.status = scanTimers(path, [&](const TimerRecord& timer) {
    const TimerView view(timer);
    const std::optional<AlarmKind> kind = view.kindByText();
    if (!kind) return;
    const std::optional<qint64> due = dueMinute(view, *kind, minutes);
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
