#include "store/Rewrite.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "store/AtomicFile.h"
#include "store/DataFileLock.h"
#include "store/DataFileReader.h"
#include "store/DataFileScan.h"
#include "store/FileIdentity.h"
#include "store/RewriteOutput.h"

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using rewriting::Output;

// Records copied as they stand are handed on in runs of about this size.
constexpr qsizetype kRunLimit = 256 * 1024;

const QByteArray& markerLine() {
  static const QByteArray line = encodeLine(TimerMarker::fields());
  return line;
}

bool endsWithDelimiter(QByteArrayView bytes) {
  if (bytes.isEmpty()) return false;
  const char last = bytes.back();
  return last == ',' || last == '\r' || last == '\n';
}

}  // namespace

// One rewrite in progress: the reader keeps the bytes of the records read since the last
// hand-over, and the run of records copied as they stand goes to the output in one piece.
class RewriteRun {
 public:
  RewriteRun(DataFileReader& reader, Output& output) : reader_(reader), output_(output) {}

  // The record just read starts at `start` and ends at the end of what the reader keeps.
  void beginRecord(qsizetype start) {
    recordStart_ = start;
    recordEnd_ = reader_.kept().size();
    included_ = false;
    wholeLine_ = endsWithDelimiter(reader_.kept()) && !reader_.endedInsideQuotes();
  }

  // The step wrote the record it was handed: false when it must go in the line encoding
  // after all (the file ends inside it, or it is written twice).
  bool writeCurrent() {
    if (!wholeLine_ || included_ || pending_ != recordStart_) return false;
    pending_ = recordEnd_;
    included_ = true;
    return true;
  }

  void writeOther(QByteArrayView line) {
    handOver();
    output_.append(line);
  }

  // After the step: a record it did not write is left out.
  void endRecord() {
    if (!included_) {
      handOver();
      reader_.releaseKept(recordEnd_);
      recordStart_ = recordEnd_ = 0;
    }
    if (pending_ >= kRunLimit) handOver();
  }

  // Copies the record just read as it stands (no step): the default for every record.
  void copyCurrent(int fieldCount) {
    if (wholeLine_) {
      pending_ = recordEnd_;
      included_ = true;
    } else {
      QList<Field> fields;
      DataFileReader::parseFinalRecord(reader_.kept().sliced(recordStart_), fieldCount, &fields);
      writeOther(encodeLine(fields));
    }
    endRecord();
  }

  // Whether the reader may pass records over into the pending run: nothing kept lies outside it.
  bool canKeepRecords() const { return pending_ == reader_.kept().size(); }

  // The records the reader passed over join the pending run as they stand.
  void keptRecords() {
    pending_ = recordStart_ = recordEnd_ = reader_.kept().size();
    included_ = true;
    if (pending_ >= kRunLimit) handOver();
  }

  // Lets skip() move the reader over records that go to the output as they stand, without
  // keeping their bytes: the output takes them as a range of the old file, or, where the
  // kernel's copy does not pay, as the bytes read on the way. Only where canKeepRecords().
  template <typename Skip>
  void passAhead(Skip&& skip) {
    handOver();
    reader_.stopKeeping();
    if (output_.kernelCopies()) {
      const qint64 from = reader_.offset();
      skip();
      output_.appendRange(from, reader_.offset() - from);
    } else {
      reader_.setTap(
          [this](QByteArrayView bytes, qint64 offset) { output_.appendRead(offset, bytes); });
      skip();
      reader_.endTap();
    }
    reader_.keepFromHere();
    pending_ = recordStart_ = recordEnd_ = 0;
    included_ = true;
  }

  // Copies the records from here to `offset`, where a record starts, to the output as they
  // stand, unread. Only where canKeepRecords().
  void copyUnreadTo(qint64 offset) {
    handOver();
    reader_.stopKeeping();
    const qint64 from = reader_.offset();
    if (reader_.seekTo(offset)) output_.appendUnread(from, offset - from);
    reader_.keepFromHere();
    pending_ = recordStart_ = recordEnd_ = 0;
    included_ = true;
  }

  // Hands the pending run to the output.
  void handOver() {
    if (pending_ == 0) return;
    output_.appendSource(reader_.keptOffset(), reader_.kept().first(pending_));
    reader_.releaseKept(pending_);
    recordStart_ -= pending_;
    recordEnd_ -= pending_;
    pending_ = 0;
  }

 private:
  DataFileReader& reader_;
  Output& output_;
  qsizetype pending_ = 0;  // the first bytes kept that go to the output as they stand
  qsizetype recordStart_ = 0;
  qsizetype recordEnd_ = 0;
  bool included_ = false;
  bool wholeLine_ = true;
};

void RecordSink::write(const ScheduleRecord& record) {
  if (&record == current_ && run_.writeCurrent()) return;
  run_.writeOther(encodeLine(record.fields()));
}

void RecordSink::write(const TimerRecord& record) {
  if (&record == current_ && run_.writeCurrent()) return;
  run_.writeOther(encodeLine(record.fields()));
}

void RecordSink::fail(const QString& message) {
  if (error_.isEmpty()) error_ = message;
}

namespace {

// Reads one record into the reused record's fields.
template <size_t N>
bool readInto(DataFileReader& reader, const std::array<Field*, N>& fields) {
  for (Field* field : fields) {
    if (!reader.readFieldInto(field)) return false;
  }
  return true;
}

}  // namespace

namespace {

// How much of the file's start the rewrite may copy unread: what a read-only pass found
// unchanged, or, for steps that leave the schedule records as they stand, everything before
// the marker where the last pass over this very file found it (`knownMarker`); only while the
// file is the one they read.
std::optional<qint64> unchangedPrefix(DataFileReader& reader, const RewriteSteps& steps,
                                      std::optional<qint64> knownMarker) {
  const std::optional<FileIdentity> identity = fileIdentity(reader.file().handle());
  if (!identity) return std::nullopt;
  std::optional<qint64> offset;
  if (steps.unchangedStart && steps.unchangedStart->identity == *identity) {
    offset = steps.unchangedStart->offset;
  } else if (!steps.schedule && steps.scheduleStops.isEmpty()) {
    offset = knownMarker;
  }
  if (!offset || *offset <= 0 || *offset > identity->size) return std::nullopt;
  return offset;
}

// The new file is in place with its marker at `markerAt`: the next pass over it may start there,
// as long as it is that file.
void rememberWrittenMarker(const QString& path, const Output& output, qint64 markerAt) {
#ifndef Q_OS_WIN
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  const std::optional<FileIdentity> identity = fileIdentity(fd);
  ::close(fd);
  if (identity && identity->device == output.replacement().device() &&
      identity->inode == output.replacement().inode() && identity->size == output.position()) {
    rememberMarkerOffset(path, *identity, markerAt);
  }
#else
  Q_UNUSED(path);
  Q_UNUSED(output);
  Q_UNUSED(markerAt);
#endif
}

}  // namespace

RewriteResult rewriteDataFile(const QString& path, const RewriteSteps& steps) {
  // The read and the write under one lock: no other copy changes the file in between.
  const DataFileLock lock(path);
  if (!lock.isHeld()) return {lock.status()};
  DataFileReader reader(path);
  if (!reader.open()) return {Status::failure(reader.errorString())};

  Output output(path, reader.file());
  if (Status begun = output.begin(); !begun) return {begun};
  RewriteRun run(reader, output);
  RecordSink sink(run);
  auto failure = [&]() -> std::optional<RewriteResult> {
    if (!reader.errorString().isEmpty())
      return RewriteResult{Status::failure(reader.errorString())};
    if (!sink.error_.isEmpty()) return RewriteResult{Status::failure(sink.error_)};
    if (!output.status()) return RewriteResult{output.status()};
    return std::nullopt;
  };

  // Once the records are copied as they stand, those before the marker go unread, where a pass
  // over this very file found the marker.
  const std::optional<qint64> knownMarker = knownMarkerOffset(path, reader);
  if (const std::optional<qint64> prefix = unchangedPrefix(reader, steps, knownMarker)) {
    if (reader.seekTo(*prefix)) output.appendUnread(0, *prefix);
  }
  reader.keepFromHere();
  ScheduleRecord schedule;
  const std::array<Field*, 5> scheduleFields{&schedule.EntryDate, &schedule.Subject,
                                             &schedule.Content, &schedule.DoneFlag,
                                             &schedule.DeleteFlag};
  bool markerSeen = false;
  // Where the records copied as they stand may end: the marker, and the dates the step looks for.
  QList<QByteArrayView> scheduleStops{kTimerMarkerText};
  for (const QByteArray& stop : steps.scheduleStops) scheduleStops.append(stop);
  const auto notAStop = [&](const QByteArrayView* fields) {
    for (const QByteArrayView stop : scheduleStops) {
      if (fields[0].startsWith(stop)) return false;
    }
    return true;
  };
  while (!reader.atEnd()) {
    const bool copying = !steps.schedule || sink.copyRest_;
    if (copying && knownMarker && *knownMarker > reader.offset() && run.canKeepRecords()) {
      run.copyUnreadTo(*knownMarker);
    }
    if ((copying || !steps.scheduleStops.isEmpty()) && run.canKeepRecords()) {
      // Up to the marker (or a record the step must see), found by a byte search; the records
      // before it go to the output as they stand, without being read field by field.
      run.passAhead([&] {
        reader.passRecordsTo(ScheduleRecord::kFieldCount,
                             std::span(scheduleStops).first(copying ? 1 : scheduleStops.size()),
                             notAStop);
      });
      if (reader.atEnd()) break;
    } else if (steps.schedule && steps.keepsScheduleDate && !sink.copyRest_ &&
               run.canKeepRecords()) {
      run.passAhead([&] {
        reader.passByFirstField(ScheduleRecord::kFieldCount, [&](QByteArrayView date) {
          return date != kTimerMarkerText && steps.keepsScheduleDate(date);
        });
      });
      if (reader.atEnd()) break;
    } else if (steps.schedule && steps.keepsSchedule && steps.keepsScheduleRecord &&
               !sink.copyRest_ && run.canKeepRecords()) {
      run.passAhead([&] {
        reader.passByRecord(
            ScheduleRecord::kFieldCount,
            [&](QByteArrayView record) { return steps.keepsScheduleRecord(record); },
            [&](const QByteArrayView* fields) {
              return fields[0] != kTimerMarkerText && steps.keepsSchedule(fields);
            });
      });
      if (reader.atEnd()) break;
    } else if (steps.schedule && steps.keepsSchedule && !sink.copyRest_ && run.canKeepRecords()) {
      reader.keepRecords(ScheduleRecord::kFieldCount, [&](const QByteArrayView* fields) {
        return fields[0] != kTimerMarkerText && steps.keepsSchedule(fields);
      });
      run.keptRecords();
      if (reader.atEnd()) break;
    }
    const qsizetype start = reader.kept().size();
    if (!steps.schedule || sink.copyRest_) {
      QByteArrayView first;
      if (!reader.readFieldView(&first)) break;
      const bool marker = first == kTimerMarkerText;
      if (!reader.skipFields(ScheduleRecord::kFieldCount - 1)) break;
      run.beginRecord(start);
      if (marker) {
        markerSeen = true;
        break;
      }
      run.copyCurrent(ScheduleRecord::kFieldCount);
    } else {
      if (!readInto(reader, scheduleFields)) break;
      run.beginRecord(start);
      if (TimerMarker::matches(schedule.EntryDate)) {
        markerSeen = true;
        break;
      }
      sink.current_ = &schedule;
      steps.schedule(schedule, sink);
      sink.current_ = nullptr;
      if (auto failed = failure()) return *failed;
      run.endRecord();
    }
    if (auto failed = failure()) return *failed;
  }
  if (auto failed = failure()) return *failed;
  // The marker as the program writes it, whatever the file held.
  run.endRecord();
  sink.copyRest_ = false;
  if (steps.afterSchedule) steps.afterSchedule(sink);
  if (auto failed = failure()) return *failed;
  run.handOver();
  const qint64 markerAt = output.position();
  run.writeOther(markerLine());

  TimerRecord timer;
  const std::array<Field*, 8> timerFields{
      &timer.TimerTitle, &timer.TimerKind, &timer.TimerYearOrWeekday, &timer.TimerMonth,
      &timer.TimerDay,   &timer.TimerHour, &timer.TimerMinute,        &timer.TimerPicture};
  while (markerSeen && !reader.atEnd()) {
    if ((!steps.timer || sink.copyRest_) && run.canKeepRecords()) {
      // The timers copied as they stand, to the last ones.
      run.passAhead([&] {
        reader.passRecordsTo(TimerRecord::kFieldCount, {},
                             [](const QByteArrayView*) { return true; });
      });
      if (reader.atEnd()) break;
    } else if (steps.timer && steps.keepsTimer && !sink.copyRest_ && run.canKeepRecords()) {
      reader.keepRecords(TimerRecord::kFieldCount, steps.keepsTimer);
      run.keptRecords();
      if (reader.atEnd()) break;
    }
    const qsizetype start = reader.kept().size();
    if (!steps.timer || sink.copyRest_) {
      if (!reader.skipFields(TimerRecord::kFieldCount)) break;
      run.beginRecord(start);
      run.copyCurrent(TimerRecord::kFieldCount);
    } else {
      if (!readInto(reader, timerFields)) break;
      run.beginRecord(start);
      sink.current_ = &timer;
      steps.timer(timer, sink);
      sink.current_ = nullptr;
      if (auto failed = failure()) return *failed;
      run.endRecord();
    }
    if (auto failed = failure()) return *failed;
  }
  if (auto failed = failure()) return *failed;
  run.handOver();
  if (steps.afterTimers) steps.afterTimers(sink);
  if (auto failed = failure()) return *failed;
  run.handOver();
  reader.stopKeeping();
  const rewriting::Finished finished = output.finish();
  if (finished.status && finished.changed) rememberWrittenMarker(path, output, markerAt);
  return {finished.status, finished.changed};
}

Status createDataFile(const QString& path) {
  const DataFileLock lock(path);
  if (!lock.isHeld()) return lock.status();
  return replaceFileContents(path, markerLine());
}
