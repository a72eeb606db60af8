#include "store/Purge.h"

#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "store/Rewrite.h"
#include "store/SystemError.h"

long long timerMoment(long long year, long long month, long long day, long long hour,
                      long long minute) {
  return (year * 10000 + month * 100 + day) * 10000 + hour * 100 + minute;
}

namespace {

long long valueOf(const Field& field) { return integerValue(field.toText()); }

// A kind that reads as the number 0. Other kinds, unknown ones included, are never purged.
bool isOnceOnly(const Field& kind) {
  const QString text = kind.toText();
  return isWholeNumber(text) && numericValue(text) == 0.0;
}

}  // namespace

Status purgeDataFile(const QString& path, const QDate& selectedDate, const QDateTime& now,
                     QList<TimerRecord>* removedOnceTimers) {
  if (removedOnceTimers) removedOnceTimers->clear();
  QList<TimerRecord> removed;
  const int threshold = dateKey(selectedDate);
  const long long nowMoment = timerMoment(now.date().year(), now.date().month(), now.date().day(),
                                          now.time().hour(), now.time().minute());

  RewriteSteps steps;
  steps.schedule = [&](const ScheduleRecord& record, RecordSink& sink) {
    const QString dateText = record.EntryDate.toText();
    const std::optional<QDate> date = parseDateText(dateText);
    if (!date) {
      sink.fail(QStringLiteral("データファイル%1を整理できません。\n理由: 日付け「%2」が読めません")
                    .arg(quotedPath(path), dateText));
      return;
    }
    const int key = static_cast<int>(integerValue(dateText.left(4))) * 1000 + date->dayOfYear();
    if (key < threshold && record.DoneFlag.isSet() && record.DeleteFlag.isSet()) return;
    ScheduleRecord kept = record;
    kept.EntryDate = Field::text(formatDate(*date, u"yyyy/mm/dd"));
    sink.write(kept);
  };
  steps.timer = [&](const TimerRecord& timer, RecordSink& sink) {
    if (isOnceOnly(timer.TimerKind)) {
      const long long moment = timerMoment(valueOf(timer.TimerYearOrWeekday),
                                           valueOf(timer.TimerMonth), valueOf(timer.TimerDay),
                                           valueOf(timer.TimerHour), valueOf(timer.TimerMinute));
      if (moment < nowMoment) {
        removed.append(timer);
        return;
      }
    }
    sink.write(timer);
  };
  const Status status = rewriteDataFile(path, steps).status;
  if (status && removedOnceTimers) *removedOnceTimers = std::move(removed);
  return status;
}
