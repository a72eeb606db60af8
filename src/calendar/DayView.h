#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "shared/Rgb.h"
#include "store/Record.h"
#include "store/Status.h"

// The heading and the day list of the selected date, as values the main window paints.

// Which entries the day list shows; the values are the indexes of the filter buttons.
enum class DayFilter : int {
  NotFinished = 0,  // まだ
  Finished = 1,     // 終了したもの
  All = 2,          // 全部
};

// "終了"/"まだ" and "削除"/"残る"; flags count by value, quoted or not.
QString finishedText(const Field& doneFlag);
QString deletionText(const Field& deleteFlag);

struct DayListRow {
  QString subject;
  QString content;
  QString finished;  // "終了" or "まだ"
  QString deletion;  // "削除" or "残る"

  // The four columns in list order.
  QStringList columns() const { return {subject, content, finished, deletion}; }
  friend bool operator==(const DayListRow&, const DayListRow&) = default;
};

// "2001/05/03(木)の予定".
QString dayHeading(const QDate& date);

// Red for a Sunday or a holiday, blue for a Saturday, black otherwise.
Rgb dayHeadingColor(const QDate& date);

// The holiday row of a date ("成人の日", "", "まだ", "残る"), if the date is a holiday.
std::optional<DayListRow> holidayRow(const QDate& date);

// The entries of one date that pass the filter, in file order, without the holiday row.
struct DayEntries {
  QList<DayListRow> rows;
  // A file that cannot be read gives no rows and reports why here.
  Status status = Status::success();
};
DayEntries loadDayEntries(const QString& dataFile, const QDate& date, DayFilter filter);

struct DayView {
  QString heading;
  Rgb headingColor;
  // The holiday row first, then the date's entries that pass the filter, in file order.
  QList<DayListRow> rows;
  // A file that cannot be read leaves only the holiday row and reports why here.
  Status status = Status::success();
};

// Builds the whole day view of a valid date from the data file.
DayView loadDayView(const QString& dataFile, const QDate& date, DayFilter filter);
