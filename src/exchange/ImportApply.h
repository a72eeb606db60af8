#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "exchange/IcalImport.h"
#include "store/Status.h"

// Adding what an iCalendar file yields to the data file. Records the file already holds
// (the same texts, flags and times) are not added again, so reading the same calendar twice
// adds nothing the second time; two equal records in the calendar stay two.

struct ImportPreview {
  Status status = Status::success();  // reading the data file
  QList<ScheduleRecord> schedules;    // to be added
  QList<TimerRecord> timers;
  int schedulesPresent = 0;  // left out: already in the data file
  int timersPresent = 0;
};

// What applyImport would add to the data file as it is now.
ImportPreview previewImport(const QString& dataFile, const ImportPlan& plan);

struct ImportOutcome {
  Status status = Status::success();
  int schedulesAdded = 0;
  int timersAdded = 0;
  int schedulesPresent = 0;
  int timersPresent = 0;
};

// One rewrite of the data file: each new entry goes where the editor's 追加 puts it (after the
// entries of its day, before the first older one), the new timers after the stored ones.
// On a failure the data file is as it was.
ImportOutcome applyImport(const QString& dataFile, const ImportPlan& plan);

// The texts of the confirmation.
struct ImportSummary {
  QString headline;         // 「予定 12 件、タイマー 3 件を追加します。」
  QStringList notes;        // what is left out or changed on the way, one sentence each
  QStringList notImported;  // "item: reason", one per line
  bool anythingToAdd = false;
};
ImportSummary summarizeImport(const ImportPlan& plan, const ImportPreview& preview);
