#include "store/Rewrite.h"

#include <QFile>

#include "store/AtomicFile.h"
#include "store/DataFileLock.h"
#include "store/DataFileReader.h"

// Gives the rewrite access to the sink's buffer.
class RewriteRun {
 public:
  static QByteArray& out(RecordSink& sink) { return sink.out_; }
  static const QString& error(const RecordSink& sink) { return sink.error_; }
};

RewriteResult rewriteDataFile(const QString& path, const RewriteSteps& steps) {
  // The read and the write under one lock: no other copy changes the file in between.
  const DataFileLock lock(path);
  if (!lock.isHeld()) return {lock.status()};
  DataFileReader reader(path);
  if (!reader.open()) return {Status::failure(reader.errorString())};

  RecordSink sink;
  QByteArray& out = RewriteRun::out(sink);
  auto failed = [&] { return !RewriteRun::error(sink).isEmpty(); };

  QList<Field> fields;
  bool markerSeen = false;
  while (!reader.atEnd()) {
    if (!reader.readRecord(ScheduleRecord::kFieldCount, &fields)) break;
    if (TimerMarker::matches(fields[0])) {
      markerSeen = true;
      break;
    }
    const ScheduleRecord record = ScheduleRecord::fromFields(fields);
    if (steps.schedule) {
      steps.schedule(record, sink);
      if (failed()) return {Status::failure(RewriteRun::error(sink))};
    } else {
      sink.write(record);
    }
  }
  if (!reader.errorString().isEmpty()) return {Status::failure(reader.errorString())};
  if (steps.afterSchedule) steps.afterSchedule(sink);
  if (failed()) return {Status::failure(RewriteRun::error(sink))};

  out += encodeLine(TimerMarker::fields());

  while (markerSeen && !reader.atEnd()) {
    if (!reader.readRecord(TimerRecord::kFieldCount, &fields)) break;
    const TimerRecord record = TimerRecord::fromFields(fields);
    if (steps.timer) {
      steps.timer(record, sink);
      if (failed()) return {Status::failure(RewriteRun::error(sink))};
    } else {
      sink.write(record);
    }
  }
  if (!reader.errorString().isEmpty()) return {Status::failure(reader.errorString())};
  if (steps.afterTimers) steps.afterTimers(sink);
  if (failed()) return {Status::failure(RewriteRun::error(sink))};

  // Nothing to do when the new contents equal the old ones: the file is left untouched.
  QFile current(path);
  if (current.open(QIODevice::ReadOnly) && current.size() == out.size() &&
      current.readAll() == out) {
    return {Status::success(), false};
  }
  return {replaceFileContents(path, out), true};
}

Status createDataFile(const QString& path) {
  const DataFileLock lock(path);
  if (!lock.isHeld()) return lock.status();
  return replaceFileContents(path, encodeLine(TimerMarker::fields()));
}
