#include "alarm/NextTimer.h"

#include "alarm/TimerFields.h"
#include "shared/DateFormat.h"
#include "store/DataFileScan.h"

namespace {

// The first minute after `after` at which the timer is due.
std::optional<QDateTime> nextDue(const TimerRecord& timer, const QDateTime& after) {
  const std::optional<int> hour = fixedDigits(timer.TimerHour.toText(), 2, 0, 23);
  const std::optional<int> minute = fixedDigits(timer.TimerMinute.toText(), 2, 0, 59);
  if (!hour || !minute) return std::nullopt;
  const QTime time(*hour, *minute);
  const QString kind = timer.TimerKind.toText();
  const QDate today = after.date();

  if (kind == u"0") {
    const std::optional<int> year = fixedDigits(timer.TimerYearOrWeekday.toText(), 4, 1, 9999);
    const std::optional<int> month = fixedDigits(timer.TimerMonth.toText(), 2, 1, 12);
    const std::optional<int> day = fixedDigits(timer.TimerDay.toText(), 2, 1, 31);
    if (!year || !month || !day) return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid()) return std::nullopt;
    const QDateTime due(date, time);
    if (due <= after) return std::nullopt;
    return due;
  }

  int stepDays = 1;
  QDate first = today;
  if (kind == u"1") {
    const std::optional<int> sundayBased = weekdayOfKanji(timer.TimerYearOrWeekday.toText());
    if (!sundayBased) return std::nullopt;
    first = today.addDays((*sundayBased - today.dayOfWeek() % 7 + 7) % 7);
    stepDays = 7;
  } else if (kind != u"2") {
    return std::nullopt;
  }
  QDateTime due(first, time);
  if (due <= after) due = QDateTime(first.addDays(stepDays), time);
  return due;
}

}  // namespace

NextTimerResult findNextTimer(const QString& path, const QDateTime& now) {
  // The minute that holds `now` is over for this purpose: compare whole minutes.
  const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
  NextTimerResult result;
  result.status = scanTimers(path, [&](const TimerRecord& timer) {
    const std::optional<QDateTime> due = nextDue(timer, minute);
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
