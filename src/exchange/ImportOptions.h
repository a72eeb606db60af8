#pragma once

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

// What an iCalendar import takes from outside the file.
struct ImportOptions {
  // Once-only timers must lie after this moment.
  QDateTime now;
  // Times are converted to this zone; a time without zone is taken as a time of it.
  QTimeZone localZone;
  // A recurring event is added on its occurrences whose first day lies in these days.
  QDate rangeFirst;
  QDate rangeLast;
};

// now, the machine's zone, and occurrences from today to the same day a year later.
inline ImportOptions defaultImportOptions(const QDateTime& now) {
  const QDate today = now.date();
  return ImportOptions{now, QTimeZone::systemTimeZone(), today, today.addYears(1)};
}
