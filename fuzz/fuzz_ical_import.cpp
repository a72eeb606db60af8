// libFuzzer target: any bytes as an iCalendar file to import. The mapping over what libical
// parses must neither crash nor hang, and every record it plans must be one the editor could
// have written: a real date, texts within the editor's limits that the data file can carry,
// a timer kind with the fields of that kind. Written to a data file and read back, the
// records must come back unchanged.
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

#include "exchange/CalendarText.h"
#include "exchange/IcalImport.h"
#include "shared/DateFormat.h"
#include "store/Cp932.h"
#include "store/DataFileScan.h"

namespace {

QString scratchFile() {
  const QString folder = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  return QStringLiteral("%1/yotenna-fuzz-ical-%2.dat").arg(folder).arg(::getpid());
}

void check(bool condition) {
  if (!condition) std::abort();
}

// A text field the data file carries whole: quoted, CP932, on one line.
bool carriable(const Field& field) {
  return field.quoted && !field.raw.contains('"') && !field.raw.contains('\r') &&
         !field.raw.contains('\n') && encodeCp932(field.toText()) == field.raw;
}

bool twoDigitsIn(const Field& field, int low, int high) {
  const QString text = field.toText();
  bool ok = false;
  const int value = text.toInt(&ok);
  return text.size() == 2 && ok && value >= low && value <= high;
}

void checkEntry(const ScheduleRecord& record) {
  check(carriable(record.EntryDate) && carriable(record.Subject) && carriable(record.Content));
  const QString date = record.EntryDate.toText();
  const std::optional<QDate> parsed = parseDateText(date);
  check(date.size() == 10 && parsed && formatDate(*parsed, u"yyyy/mm/dd") == date);
  const QString subject = record.Subject.toText();
  check(!subject.isEmpty() && subject.size() <= kSubjectLimit);
  check(record.Content.toText().size() <= kContentLimit);
  check(!record.DoneFlag.quoted && (record.DoneFlag.raw == "0" || record.DoneFlag.raw == "1"));
  check(!record.DeleteFlag.quoted &&
        (record.DeleteFlag.raw == "0" || record.DeleteFlag.raw == "1"));
}

void checkTimer(const TimerRecord& record) {
  for (const Field& field : record.fields()) check(carriable(field));
  const QString title = record.TimerTitle.toText();
  check(!title.isEmpty() && title.size() <= kTimerTitleLimit);
  check(twoDigitsIn(record.TimerHour, 0, 23) && twoDigitsIn(record.TimerMinute, 0, 59));
  const QString kind = record.TimerKind.toText();
  if (kind == u"0") {
    const int year = record.TimerYearOrWeekday.toText().toInt();
    check(year >= 1 && year <= 9999 && twoDigitsIn(record.TimerMonth, 1, 12));
    const int month = record.TimerMonth.toText().toInt();
    check(twoDigitsIn(record.TimerDay, 1, daysInMonth(year, month)));
  } else if (kind == u"1") {
    check(QStringList({u"月"_qs, u"火"_qs, u"水"_qs, u"木"_qs, u"金"_qs, u"土"_qs, u"日"_qs})
              .contains(record.TimerYearOrWeekday.toText()));
    check(record.TimerMonth.raw.isEmpty() && record.TimerDay.raw.isEmpty());
  } else {
    check(kind == u"2" && record.TimerYearOrWeekday.raw.isEmpty() &&
          record.TimerMonth.raw.isEmpty() && record.TimerDay.raw.isEmpty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

  // The text fitting on its own, with the input as text of another calendar.
  const FittedText fitted = fitCalendarText(QString::fromUtf8(bytes), kContentLimit);
  check(fitted.text.size() <= kContentLimit && encodeCp932(fitted.text).has_value());
  check(!fitted.text.contains(u'"') && !fitted.text.contains(u'\r') &&
        !fitted.text.contains(u'\n'));
  check(fitted.replaced <= fitted.text.size());

  static const QTimeZone tokyo("Asia/Tokyo");
  const QDateTime now(QDate(2025, 4, 1), QTime(10, 0), tokyo);
  const ImportPlan plan =
      planImport(bytes, ImportOptions{now, tokyo, QDate(2025, 4, 1), QDate(2026, 4, 1)});
  if (plan.refusal) {
    check(plan.schedules.isEmpty() && plan.timers.isEmpty() && plan.notImported.isEmpty());
    return 0;
  }
  check(plan.schedules.size() + plan.timers.size() <= 20000);
  for (const ScheduleRecord& record : plan.schedules) checkEntry(record);
  for (const TimerRecord& record : plan.timers) checkTimer(record);

  static const QString path = scratchFile();
  QByteArray file;
  for (const ScheduleRecord& record : plan.schedules) file += encodeLine(record.fields());
  file += encodeLine(TimerMarker::fields());
  for (const TimerRecord& record : plan.timers) file += encodeLine(record.fields());
  {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    out.write(file);
  }
  QList<ScheduleRecord> schedules;
  QList<TimerRecord> timers;
  check(scanSchedule(path, [&](const ScheduleRecord& r) {
          schedules << r;
          return true;
        }).isOk());
  check(scanTimers(path, [&](const TimerRecord& r) { timers << r; }).isOk());
  check(schedules == plan.schedules && timers == plan.timers);
  return 0;
}
