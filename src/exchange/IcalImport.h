#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "exchange/CalendarFile.h"
#include "exchange/ExchangeIssue.h"
#include "exchange/ImportOptions.h"
#include "store/Record.h"

// Reading an iCalendar file (RFC 5545) into records of the data file, through libical.
// Nothing here touches the data file: the plan says what would be added, and ImportApply.h
// adds it. In three parts: IcalReading.h parses the file, IcalOccurrences.h finds when each
// item occurs, IcalImport.cpp turns the occurrences into records.

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

// readCalendarFile, then planImport.
ImportPlan planImportFile(const QString& path, const ImportOptions& options);
