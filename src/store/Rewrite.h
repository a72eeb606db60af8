#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "store/FileIdentity.h"
#include "store/Record.h"
#include "store/Status.h"

class RewriteRun;
struct RewriteSteps;

struct RewriteResult {
  Status status = Status::success();
  bool changed = false;  // the new contents differ from the old ones
};

// Takes the records of a rewrite in file order and streams them to the temporary file.
class RecordSink {
 public:
  // Writing the record the step was handed copies it as the bytes it was read as; any other
  // record (a changed copy, a new one) is written in the file's line encoding.
  void write(const ScheduleRecord& record);
  void write(const TimerRecord& record);
  // Stops the rewrite: the data file stays as it is and the caller gets this message.
  void fail(const QString& message);
  // Copies the rest of the current section as it stands, without handing its records to the
  // step: for a step that has done its work (an entry inserted, the one record replaced).
  void copyRest() { copyRest_ = true; }

 private:
  friend class RewriteRun;
  friend RewriteResult rewriteDataFile(const QString& path, const RewriteSteps& steps);
  explicit RecordSink(RewriteRun& run) : run_(run) {}
  RewriteRun& run_;
  const void* current_ = nullptr;
  QString error_;
  bool copyRest_ = false;
};

// What a rewrite does with each record. An unset step copies the record unchanged; the
// "after" steps may add records at the end of their section.
struct RewriteSteps {
  std::function<void(const ScheduleRecord&, RecordSink&)> schedule;
  std::function<void(RecordSink&)> afterSchedule;
  std::function<void(const TimerRecord&, RecordSink&)> timer;
  std::function<void(RecordSink&)> afterTimers;
  // Optional, for a step that keeps most records as they stand: told the bytes of a record's
  // fields (without quotes and surrounding blanks), true when the step would write it unchanged.
  // Such records are copied without being handed to the step; the others go to it as usual.
  std::function<bool(const QByteArrayView* fields)> keepsSchedule;
  std::function<bool(const QByteArrayView* fields)> keepsTimer;
  // Optional, with keepsSchedule: the same judgement from a whole record as it stands in the
  // file (its bytes to after its last delimiter). Records it keeps are passed over by counting
  // fields, not read field by field, and go to the new file as they stand.
  std::function<bool(QByteArrayView record)> keepsScheduleRecord;
  // Optional, for a schedule step that decides from a record's EntryDate alone (its bytes): true
  // when it writes any record of that date unchanged. Such records are passed over by counting
  // fields, not read field by field, and go to the new file as they stand.
  std::function<bool(QByteArrayView entryDate)> keepsScheduleDate;
  // Optional, for a schedule step that looks for records of a few dates (at most three): it
  // writes every record unchanged whose EntryDate does not start with one of these bytes. The
  // others are found with a byte search and only they are handed to the step.
  QList<QByteArray> scheduleStops;
  // Optional, from a read-only pass over the file before the rewrite took the lock: the steps
  // change nothing before `offset` (where a schedule record or the marker starts). When the
  // file is still that very file, those bytes go to the new file unread.
  struct UnchangedStart {
    qint64 offset = 0;
    FileIdentity identity;
  };
  std::optional<UnchangedStart> unchangedStart;
};

// Reads the data file, passes every record through the steps and replaces the file with the
// result (schedule records, the marker, timer records) through a temporary file, streaming:
// neither the old nor the new file is ever held in memory whole. Records that are copied keep
// their bytes exactly (both encodings of a CP932 character, blanks, line ends), except that the
// marker is always written as the program writes it, a last line gets its CR LF, and blank
// lines after the last record go. When the result is byte-identical to the file, the file is
// left untouched. The read and the write hold the data file's lock (DataFileLock); when another
// copy of the program holds it past the wait, nothing is written and the status says so.
RewriteResult rewriteDataFile(const QString& path, const RewriteSteps& steps);

// Creates (or empties) a data file: the marker line alone.
Status createDataFile(const QString& path);
