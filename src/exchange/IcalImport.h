#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

#include "exchange/ExchangeIssue.h"
#include "store/Record.h"

// Reading an iCalendar file (RFC 5545) into records of the data file, through libical.
// Nothing here touches the data file: the plan says what would be added, and ImportApply.h
// adds it.

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
ImportOptions defaultImportOptions(const QDateTime& now);

struct ImportPlan {
  // Set when the file as a whole is refused (not iCalendar, or broken): the reason, with the
  // parser's own words where it gave any. Nothing else is set then.
  std::optional<QString> refusal;

  // The records the file yields, in the order of the file.
  QList<ScheduleRecord> schedules;
  QList<TimerRecord> timers;

  // Characters written as 〓, and texts cut at the editor's limits (each counted once per
  // item of the file, however many records it yields).
  int replacedCharacters = 0;
  int cutTexts = 0;

  QList<ExchangeIssue> notImported;
};

// Maps the parsed file onto records. Never fails: what cannot be read is a refusal or an issue.
ImportPlan planImport(const QByteArray& icsBytes, const ImportOptions& options);

// The bytes of a calendar file, or why it is refused: a file that cannot be read, is no
// regular file or is too large to be a calendar is not read at all.
struct CalendarFile {
  QByteArray bytes;
  std::optional<QString> refusal;
};
CalendarFile readCalendarFile(const QString& path);

// readCalendarFile, then planImport.
ImportPlan planImportFile(const QString& path, const ImportOptions& options);
