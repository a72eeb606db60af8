#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// Japan's national holidays as the Act on National Holidays (1948) and its amendments define
// them, with the days off the act adds (振替休日, 国民の休日) and the days special laws made
// holidays. Dates before the act took effect on 1948-07-20 keep only 1 January. Works for any
// date from 0001-01-01 to 9999-12-31; names are those of the Cabinet Office's public list.
// Both views ask here; none keeps a rule of its own.

// The holiday on a date, if any.
std::optional<QString> holidayName(const QDate& date);

struct MonthHoliday {
  int day = 1;
  QString name;
  friend bool operator==(const MonthHoliday&, const MonthHoliday&) = default;
};

// The holidays of a month, in date order.
QList<MonthHoliday> monthHolidays(int year, int month);

// The day of March (spring) and of September (autumn) of the equinox in Japan: the usual
// approximation for 1900-2099, carried on past 2099 with the Gregorian leap years. It gives
// every equinox day announced from 1955 to 2027.
int springEquinoxDay(int year);
int autumnEquinoxDay(int year);
