#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>

#include "shared/Rgb.h"
#include "store/Status.h"

// The month grid of the main window as a value: 31 day cells, each a day-number label beside a
// list of the day's holiday and subjects.

struct DayCell {
  bool visible = false;  // false for the days the month does not have
  QString caption;       // "6 日": the day, one blank, the weekday kanji
  Rgb labelText = colors::kBlack;
  Rgb labelBackground = colors::kWhite;
  Rgb listBackground = colors::kWhite;
  QStringList items;  // the holiday name first, then the subjects in file order
};

struct MonthGrid {
  static constexpr int kCellCount = 31;

  int year = 1;
  int month = 1;
  int monthLength = 31;     // the visible cells
  int februaryLength = 28;  // 29 in a leap year; the window keeps it in MonthDays(2)
  std::array<DayCell, kCellCount> cells;
  // A file that cannot be read leaves the layout and the holidays but no subjects.
  Status status = Status::success();

  const DayCell& cell(int day) const { return cells[static_cast<size_t>(day - 1)]; }
};

// The layout, weekday colours, holidays and today's highlight of a month, without the file.
// Today's cell is highlighted when `today` lies in the month.
MonthGrid monthGridLayout(int year, int month, const QDate& today);

// The layout plus the subjects of every entry of the month in the data file, whatever their
// flags. An entry whose date does not end in a day 01-31 addresses no cell and is skipped; one
// dated beyond the month's end (a hand-edited "02/30") lands in its hidden cell.
MonthGrid loadMonthGrid(const QString& dataFile, int year, int month, const QDate& today);
