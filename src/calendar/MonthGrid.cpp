#include "calendar/MonthGrid.h"

#include "calendar/Holidays.h"
#include "shared/DateFormat.h"
#include "store/DataFileScan.h"

namespace {

constexpr int kSunday = 0;
constexpr int kSaturday = 6;

// The day a schedule date addresses: its last two characters as 01-31.
std::optional<int> cellDay(const QByteArray& entryDate) {
  if (entryDate.size() < 2) return std::nullopt;
  const char tens = entryDate[entryDate.size() - 2];
  const char units = entryDate[entryDate.size() - 1];
  if (tens < '0' || tens > '9' || units < '0' || units > '9') return std::nullopt;
  const int day = (tens - '0') * 10 + (units - '0');
  if (day < 1 || day > MonthGrid::kCellCount) return std::nullopt;
  return day;
}

}  // namespace

MonthGrid monthGridLayout(int year, int month, const QDate& today) {
  MonthGrid grid;
  grid.year = year;
  grid.month = month;
  grid.februaryLength = daysInMonth(year, 2);
  // Outside the years and months the program shows, nothing is visible.
  grid.monthLength = year >= 1 && year <= 9999 ? daysInMonth(year, month) : 0;
  if (grid.monthLength == 0) return grid;

  int weekday = QDate(year, month, 1).dayOfWeek() % 7;  // Sunday = 0
  for (int day = 1; day <= grid.monthLength; ++day, weekday = (weekday + 1) % 7) {
    DayCell& cell = grid.cells[static_cast<size_t>(day - 1)];
    cell.visible = true;
    cell.caption = QString::number(day) + u' ' + weekdayKanjiByIndex(weekday);
    if (weekday == kSunday) {
      cell.labelText = colors::kRed;
      cell.labelBackground = cell.listBackground = colors::kMagenta;
    } else if (weekday == kSaturday) {
      cell.labelText = colors::kBlue;
      cell.labelBackground = cell.listBackground = colors::kCyan;
    }
  }

  for (const MonthHoliday& holiday : monthHolidays(year, month)) {
    DayCell& cell = grid.cells[static_cast<size_t>(holiday.day - 1)];
    cell.items.append(holiday.name);
    cell.labelBackground = cell.listBackground = colors::kMagenta;
  }

  // Today's colour goes on last, so it shows even on a holiday.
  if (today.year() == year && today.month() == month) {
    DayCell& cell = grid.cells[static_cast<size_t>(today.day() - 1)];
    cell.labelBackground = cell.listBackground = colors::kYellow;
  }
  return grid;
}

MonthGrid loadMonthGrid(const QString& dataFile, int year, int month, const QDate& today) {
  MonthGrid grid = monthGridLayout(year, month, today);
  if (grid.monthLength == 0) return grid;
  std::array<QStringList, MonthGrid::kCellCount> subjects;
  grid.status = scanMonth(dataFile, year, month, [&](const ScheduleRecord& record) {
    if (const std::optional<int> day = cellDay(record.EntryDate.raw)) {
      subjects[static_cast<size_t>(*day - 1)].append(record.Subject.toText());
    }
  });
  if (!grid.status.isOk()) return grid;
  for (size_t i = 0; i < subjects.size(); ++i) grid.cells[i].items += subjects[i];
  return grid;
}
