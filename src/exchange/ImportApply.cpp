#include "exchange/ImportApply.h"

#include <QHash>
#include <algorithm>

#include "exchange/CalendarText.h"
#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "store/DataFileScan.h"
#include "store/Rewrite.h"

namespace {

QByteArray keyOf(const ScheduleRecord& record) {
  return record.EntryDate.raw + '\0' + record.Subject.raw + '\0' + record.Content.raw + '\0' +
         (record.DoneFlag.isSet() ? '1' : '0') + (record.DeleteFlag.isSet() ? '1' : '0');
}

QByteArray keyOf(const TimerRecord& record) {
  QByteArray key;
  for (const Field& field : record.fields()) key += field.raw + '\0';
  return key;
}

// The records of `wanted` less one for each equal record counted in `present`.
template <typename Record>
QList<Record> withoutPresent(const QList<Record>& wanted, QHash<QByteArray, int> present,
                             int* presentCount) {
  QList<Record> left;
  for (const Record& record : wanted) {
    int& count = present[keyOf(record)];
    if (count > 0) {
      --count;
      ++*presentCount;
    } else {
      left << record;
    }
  }
  return left;
}

// The ordering key of an entry as the editor's add computes it: the year from the first four
// characters of the date, the day of the year from the whole date.
long long storedDateKey(const Field& entryDate) {
  const QString text = entryDate.toText();
  const std::optional<QDate> date = parseDateText(text);
  return integerValue(QStringView(text).left(4)) * 1000 + (date ? date->dayOfYear() : 0);
}

}  // namespace

ImportPreview previewImport(const QString& dataFile, const ImportPlan& plan) {
  ImportPreview preview;
  QHash<QByteArray, int> schedules;
  QHash<QByteArray, int> timers;
  preview.status = scanSchedule(dataFile, [&](const ScheduleRecord& record) {
    ++schedules[keyOf(record)];
    return true;
  });
  if (!preview.status) return preview;
  preview.status =
      scanTimers(dataFile, [&](const TimerRecord& record) { ++timers[keyOf(record)]; });
  if (!preview.status) return preview;
  preview.schedules = withoutPresent(plan.schedules, schedules, &preview.schedulesPresent);
  preview.timers = withoutPresent(plan.timers, timers, &preview.timersPresent);
  return preview;
}

ImportOutcome applyImport(const QString& dataFile, const ImportPlan& plan) {
  ImportOutcome outcome;
  QList<ScheduleRecord> stored;
  QHash<QByteArray, int> storedSchedules;
  QHash<QByteArray, int> storedTimers;
  RewriteSteps steps;
  // The stored entries are held until the marker, so that entries already there are known
  // before the new ones are placed among them; they are written back as they were read.
  steps.schedule = [&](const ScheduleRecord& record, RecordSink&) {
    stored << record;
    ++storedSchedules[keyOf(record)];
  };
  steps.afterSchedule = [&](RecordSink& sink) {
    QList<ScheduleRecord> added =
        withoutPresent(plan.schedules, storedSchedules, &outcome.schedulesPresent);
    // Latest first; entries of one day keep the calendar's order, as added one by one.
    std::stable_sort(added.begin(), added.end(),
                     [](const ScheduleRecord& a, const ScheduleRecord& b) {
                       return storedDateKey(a.EntryDate) > storedDateKey(b.EntryDate);
                     });
    qsizetype next = 0;
    for (const ScheduleRecord& record : stored) {
      const long long key = storedDateKey(record.EntryDate);
      while (next < added.size() && storedDateKey(added[next].EntryDate) > key) {
        sink.write(added[next++]);
      }
      sink.write(record);
    }
    while (next < added.size()) sink.write(added[next++]);
    outcome.schedulesAdded = static_cast<int>(added.size());
  };
  steps.timer = [&](const TimerRecord& record, RecordSink& sink) {
    ++storedTimers[keyOf(record)];
    sink.write(record);
  };
  steps.afterTimers = [&](RecordSink& sink) {
    const QList<TimerRecord> added =
        withoutPresent(plan.timers, storedTimers, &outcome.timersPresent);
    for (const TimerRecord& record : added) sink.write(record);
    outcome.timersAdded = static_cast<int>(added.size());
  };
  outcome.status = rewriteDataFile(dataFile, steps).status;
  if (!outcome.status) {
    outcome.schedulesAdded = 0;
    outcome.timersAdded = 0;
  }
  return outcome;
}

ImportSummary summarizeImport(const ImportPlan& plan, const ImportPreview& preview) {
  ImportSummary summary;
  const qsizetype schedules = preview.schedules.size();
  const qsizetype timers = preview.timers.size();
  summary.anythingToAdd = schedules + timers > 0;
  summary.headline =
      summary.anythingToAdd
          ? QStringLiteral("予定 %1 件、タイマー %2 件を追加します。").arg(schedules).arg(timers)
          : QStringLiteral("追加できる予定もタイマーもありません。");
  if (preview.schedulesPresent + preview.timersPresent > 0) {
    summary.notes << QStringLiteral(
                         "同じものがすでにある予定 %1 件、タイマー %2 件は追加しません。")
                         .arg(preview.schedulesPresent)
                         .arg(preview.timersPresent);
  }
  if (plan.replacedCharacters > 0) {
    summary.notes << QStringLiteral("データファイルに書けない文字 %1 字を「%2」に置き換えます。")
                         .arg(plan.replacedCharacters)
                         .arg(kReplacementCharacter);
  }
  if (plan.cutTexts > 0) {
    summary.notes << QStringLiteral(
                         "長すぎる件名・内容 %1 か所は、編集画面の上限"
                         "（件名 %2 字、内容 %3 字）で切ります。")
                         .arg(plan.cutTexts)
                         .arg(kSubjectLimit)
                         .arg(kContentLimit);
  }
  for (const ExchangeIssue& issue : plan.notImported) {
    summary.notImported << issue.item + QStringLiteral(": ") + issue.reason;
  }
  return summary;
}
