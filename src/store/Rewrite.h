#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "store/Record.h"
#include "store/Status.h"

// Collects the records of a rewrite in file order.
class RecordSink {
 public:
  void write(const ScheduleRecord& record) { out_ += encodeLine(record.fields()); }
  void write(const TimerRecord& record) { out_ += encodeLine(record.fields()); }
  // Stops the rewrite: the data file stays as it is and the caller gets this message.
  void fail(const QString& message) {
    if (error_.isEmpty()) error_ = message;
  }

 private:
  friend class RewriteRun;
  QByteArray out_;
  QString error_;
};

// What a rewrite does with each record. An unset step copies the record unchanged; the
// "after" steps may add records at the end of their section.
struct RewriteSteps {
  std::function<void(const ScheduleRecord&, RecordSink&)> schedule;
  std::function<void(RecordSink&)> afterSchedule;
  std::function<void(const TimerRecord&, RecordSink&)> timer;
  std::function<void(RecordSink&)> afterTimers;
};

struct RewriteResult {
  Status status = Status::success();
  bool changed = false;  // the new contents differ from the old ones
};

// Reads the whole data file, passes every record through the steps and replaces the file
// with the result (schedule records, the marker, timer records) through a temporary file.
// When the result is byte-identical to the file, nothing is written. The read and the write
// hold the data file's lock (DataFileLock); when another copy of the program holds it past the
// wait, nothing is written and the status says so.
RewriteResult rewriteDataFile(const QString& path, const RewriteSteps& steps);

// Creates (or empties) a data file: the marker line alone.
Status createDataFile(const QString& path);
