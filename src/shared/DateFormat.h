#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QTime>
#include <optional>

// Date and time formatting by the program's patterns:
//   yyyy four-digit year, mm two-digit month (minute right after hh), dd day,
//   aaa one-kanji weekday (日..土), aaaa full weekday (日曜日..土曜日),
//   hh 24-hour hour, nn minute, ss second; every other character is copied.
// Weekday names are fixed Japanese texts, whatever the machine's locale.
QString formatDateTime(const QDate& date, const QTime& time, QStringView pattern);
inline QString formatDate(const QDate& date, QStringView pattern) {
  return formatDateTime(date, QTime(0, 0), pattern);
}
inline QString formatDateTime(const QDateTime& moment, QStringView pattern) {
  return formatDateTime(moment.date(), moment.time(), pattern);
}

// 日 月 火 水 木 金 土 and 日曜日 ... 土曜日, Sunday first.
QString weekdayKanji(const QDate& date);
QString weekdayName(const QDate& date);
QString weekdayKanjiByIndex(int sundayBasedIndex);

// Reads "yyyy/mm/dd" style text (one to four digit year, one or two digit month and day, "/"
// separators, surrounding blanks allowed) as a Gregorian date. A year is the year it spells:
// "24/3/5" is 0024-03-05.
std::optional<QDate> parseDateText(QStringView text);

// The Gregorian leap-year rule.
constexpr bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days in a month of a year, Gregorian.
int daysInMonth(int year, int month);

// year * 1000 + day of the year: the ordering key of schedule entries.
inline int dateKey(const QDate& date) { return date.year() * 1000 + date.dayOfYear(); }
