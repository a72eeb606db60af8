#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <span>

// The Japanese national holidays as this program knows them: fixed dates, no substitute
// holidays, fixed equinox days, and two holidays that move to the second Monday from 2000.
// Every rule lives in the one table behind holidayRules(), so a change of law is one row.

struct HolidayRule {
  // Marks a rule whose day is the Monday on day 8-14 of its month.
  static constexpr int kSecondMonday = 0;

  QStringView name;
  int month = 1;
  int day = 1;  // day of the month, or kSecondMonday
  int firstYear = 1;
  int lastYear = 9999;

  bool appliesTo(int year) const { return year >= firstYear && year <= lastYear; }
  // The day of the month the rule falls on in a year (whether or not it applies then).
  int dayIn(int year) const;
};

// All rules, in the order a month's holidays are listed.
std::span<const HolidayRule> holidayRules();

// The holiday on a date, if any.
std::optional<QString> holidayName(const QDate& date);

struct MonthHoliday {
  int day = 1;
  QString name;
  friend bool operator==(const MonthHoliday&, const MonthHoliday&) = default;
};

// The holidays of a month, in table order.
QList<MonthHoliday> monthHolidays(int year, int month);
