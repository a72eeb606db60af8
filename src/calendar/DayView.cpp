#include "calendar/DayView.h"

#include "calendar/Holidays.h"
#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "store/DataFileScan.h"

namespace {

constexpr int kSunday = 7;  // QDate::dayOfWeek
constexpr int kSaturday = 6;

// A flag that reads as the value 0, quoted or not.
bool isClear(const Field& flag) {
  const QString value = QString::fromLatin1(flag.raw);
  return isWholeNumber(value) && numericValue(value) == 0.0;
}

bool passes(const ScheduleRecord& record, DayFilter filter) {
  switch (filter) {
    case DayFilter::NotFinished:
      return isClear(record.DoneFlag);
    case DayFilter::Finished:
      return record.DoneFlag.isSet();
    case DayFilter::All:
      return true;
  }
  return false;
}

}  // namespace

QString finishedText(const Field& doneFlag) {
  return doneFlag.isSet() ? QStringLiteral("終了") : QStringLiteral("まだ");
}

QString deletionText(const Field& deleteFlag) {
  return deleteFlag.isSet() ? QStringLiteral("削除") : QStringLiteral("残る");
}

QString dayHeading(const QDate& date) {
  return formatDate(date, u"yyyy/mm/dd(aaa)") + QStringLiteral("の予定");
}

Rgb dayHeadingColor(const QDate& date) {
  if (date.dayOfWeek() == kSunday || holidayName(date)) return colors::kRed;
  if (date.dayOfWeek() == kSaturday) return colors::kBlue;
  return colors::kBlack;
}

std::optional<DayListRow> holidayRow(const QDate& date) {
  const std::optional<QString> name = holidayName(date);
  if (!name) return std::nullopt;
  return DayListRow{*name, QString(), QStringLiteral("まだ"), QStringLiteral("残る")};
}

DayEntries loadDayEntries(const QString& dataFile, const QDate& date, DayFilter filter) {
  DayEntries entries;
  if (!date.isValid()) return entries;
  const QByteArray dateKey = formatDate(date, u"yyyy/mm/dd").toLatin1();
  entries.status =
      scanMonth(dataFile, date.year(), date.month(), [&](const ScheduleRecord& record) {
        if (record.EntryDate.raw != dateKey || !passes(record, filter)) return;
        entries.rows.append({record.Subject.toText(), record.Content.toText(),
                             finishedText(record.DoneFlag), deletionText(record.DeleteFlag)});
      });
  if (!entries.status.isOk()) entries.rows.clear();
  return entries;
}

DayView loadDayView(const QString& dataFile, const QDate& date, DayFilter filter) {
  DayView view;
  if (!date.isValid()) return view;
  view.heading = dayHeading(date);
  view.headingColor = dayHeadingColor(date);
  if (std::optional<DayListRow> row = holidayRow(date)) view.rows.append(*row);
  DayEntries entries = loadDayEntries(dataFile, date, filter);
  view.rows += entries.rows;
  view.status = entries.status;
  return view;
}
