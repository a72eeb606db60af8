#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "exchange/ExchangeIssue.h"
#include "store/Record.h"
#include "store/Status.h"

// Writing the records of a data file as one iCalendar file (RFC 5545), through libical:
// every schedule entry as an all-day event, every timer as an event with a display alarm.
// The program's own X- properties carry what iCalendar has no place for, so that reading the
// file back gives the same records.

struct ExportOptions {
  // DTSTAMP, and the day from which weekly and daily timers start.
  QDateTime now;
  // The IANA name of the zone timers are written in ("Asia/Tokyo"); empty for the machine's.
  QByteArray zoneId;
  // Shown by calendars as the calendar's name (X-WR-CALNAME); empty for none.
  QString calendarName;
};

struct ExportResult {
  Status status = Status::success();  // reading the data file
  QByteArray ics;                     // UTF-8, CR LF line ends, folded by libical
  int entries = 0;
  int timers = 0;
  QList<ExchangeIssue> notExported;
};

ExportResult exportCalendar(const QString& dataFile, const ExportOptions& options);

// One record as a calendar of its own, its event under the UID given (an item of a folder
// that vdirsyncer keeps in step with a CalDAV server). ics stays empty when the record cannot
// be written; notExported says why.
ExportResult exportItem(const ScheduleRecord& record, const QByteArray& uid,
                        const ExportOptions& options);
ExportResult exportItem(const TimerRecord& record, const QByteArray& uid,
                        const ExportOptions& options);

// Replaces (or creates) the file at path with the calendar, never leaving half a file.
Status writeCalendarFile(const QString& path, const QByteArray& ics);
