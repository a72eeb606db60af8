#include "alarm/NextTimer.h"

#include "shared/DateFormat.h"
#include "store/DataFileScan.h"
#include "store/TimerView.h"

namespace {

// The first minute after `after` at which the timer is due.
std::optional<QDateTime> nextDue(const TimerView& timer, const QDateTime& after) {
  const std::optional<QTime> time = timer.clockTime();
  const std::optional<AlarmKind> kind = timer.kindByText();
  if (!time || !kind) return std::nullopt;
  const QDate today = after.date();

  int stepDays = 1;
  QDate first = today;
  switch (*kind) {
    case AlarmKind::Once: {
      const std::optional<QDate> date = timer.clockDate();
      if (!date) return std::nullopt;
      const QDateTime due(*date, *time);
      if (due <= after) return std::nullopt;
      return due;
    }
    case AlarmKind::Weekly: {
      const std::optional<int> sundayBased = timer.weekday();
      if (!sundayBased) return std::nullopt;
      first = today.addDays((*sundayBased - today.dayOfWeek() % 7 + 7) % 7);
      stepDays = 7;
      break;
    }
    case AlarmKind::Daily:
      break;
  }
  QDateTime due(first, *time);
  if (due <= after) due = QDateTime(first.addDays(stepDays), *time);
  return due;
}

}  // namespace

NextTimerResult findNextTimer(const QString& path, const QDateTime& now) {
  // The minute that holds `now` is over for this purpose: compare whole minutes.
  const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
  NextTimerResult result;
  result.status = scanTimers(path, [&](const TimerRecord& timer) {
    const std::optional<QDateTime> due = nextDue(TimerView(timer), minute);
    if (!due) return;
    if (!result.next || *due < result.next->due) {
      result.next = NextTimer{*due, timer.TimerTitle.toText()};
    }
  });
  if (!result.status) result.next.reset();
  return result;
}

QString nextTimerText(const std::optional<NextTimer>& next) {
  if (!next) return QStringLiteral("次のタイマーはありません");
  return QStringLiteral("次のタイマー %1 %2")
      .arg(formatDateTime(next->due, u"mm/dd hh:nn"), next->title);
}
