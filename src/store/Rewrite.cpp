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

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

constexpr qsizetype kOutputChunk = 1 << 20;
// Records copied as they stand are handed on in runs of about this size.
constexpr qsizetype kRunLimit = 256 * 1024;
// Unchanged pieces at least this long are copied by the kernel; shorter ones are written with
// the new bytes, one system call for many of them.
constexpr qsizetype kKernelCopyMinimum = 64 * 1024;

const QByteArray& markerLine() {
  static const QByteArray line = encodeLine(TimerMarker::fields());
  return line;
}

bool endsWithDelimiter(QByteArrayView bytes) {
  if (bytes.isEmpty()) return false;
  const char last = bytes.back();
  return last == ',' || last == '\r' || last == '\n';
}

// The new contents on their way to the temporary file, compared with the old ones as they
// go, so that a rewrite that changes nothing leaves the file alone. The parts that stand in
// the old file as they are go as ranges of it: the kernel copies them (and shares their blocks
// where the file system can) instead of passing every byte through here.
class Output {
 public:
  Output(const QString& path, QFile& source)
      : replacement_(path), source_(source), kernelCopies_(kernelCopyPays(source.handle())) {
    buffer_.reserve(std::min<qint64>(kOutputChunk, source.size() + 4096));
  }

  // Whether the parts of the old file passed over go as ranges for the kernel to copy, or as
  // the bytes read, written from memory.
  bool kernelCopies() const { return kernelCopies_; }

  // Bytes of the old file that go as they stand without having been read: by the kernel where
  // its copy pays, read and written here elsewhere.
  void appendUnread(qint64 offset, qint64 size) {
    if (kernelCopies_) {
      appendRange(offset, size);
      return;
    }
    if (!status_ || size <= 0) return;
    flushRange();
    flushBytes();
    if (!status_) return;
    if (identical_ && offset != written_) {
      rangeStart_ = offset;
      rangeSize_ = size;
      identical_ = rangeSameAsSource();
      rangeSize_ = 0;
    }
    status_ = replacement_.copyFrom(source_.handle(), offset, size, false);
    written_ += size;
  }

  // Bytes of the old file at `offset` that were read on the way and go as they stand.
  void appendRead(qint64 offset, QByteArrayView bytes) {
    if (!status_ || bytes.isEmpty()) return;
    flushRange();
    flushBytes();
    if (!status_) return;
    if (identical_ && offset != written_) identical_ = sameAsSource(bytes, written_);
    status_ = replacement_.write(bytes);
    written_ += bytes.size();
  }

  Status begin() { return replacement_.begin(); }

  // New bytes.
  void append(QByteArrayView bytes) {
    if (!status_) return;
    flushRange();
    buffer_.append(bytes);
    if (buffer_.size() >= kOutputChunk) flushBytes();
  }

  // Bytes of the old file at `offset`, still in memory: a short piece goes with the new bytes,
  // a long one (or one that continues the range before it) as a range.
  void appendSource(qint64 offset, QByteArrayView bytes) {
    if (!status_ || bytes.isEmpty()) return;
    if (rangeSize_ > 0 && rangeStart_ + rangeSize_ == offset) {
      rangeSize_ += bytes.size();
    } else if (!kernelCopies_ && bytes.size() >= kKernelCopyMinimum) {
      appendRead(offset, bytes);
    } else if (bytes.size() < kKernelCopyMinimum) {
      append(bytes);
    } else {
      appendRange(offset, bytes.size());
    }
  }

  // Bytes of the old file that were passed over without keeping them.
  void appendRange(qint64 offset, qint64 size) {
    if (!status_ || size <= 0) return;
    if (rangeSize_ > 0 && rangeStart_ + rangeSize_ == offset) {
      rangeSize_ += size;
      return;
    }
    flushRange();
    flushBytes();
    rangeStart_ = offset;
    rangeSize_ = size;
  }

  const Status& status() const { return status_; }

  // Puts the new file in place, unless it equals the old one.
  RewriteResult finish() {
    flushRange();
    flushBytes();
    if (!status_) return {status_, false};
    if (identical_ && written_ == source_.size()) {
      replacement_.abandon();
      return {Status::success(), false};
    }
    return {replacement_.commit(), true};
  }

 private:
  void flushBytes() {
    if (buffer_.isEmpty() || !status_) return;
    if (identical_) identical_ = sameAsSource(buffer_, written_);
    status_ = replacement_.write(buffer_);
    written_ += buffer_.size();
    buffer_.resize(0);
  }

  void flushRange() {
    if (rangeSize_ == 0 || !status_) return;
    // A range in its old place is the same bytes; elsewhere it is compared like new bytes.
    if (identical_ && rangeStart_ != written_) identical_ = rangeSameAsSource();
    status_ = replacement_.copyFrom(source_.handle(), rangeStart_, rangeSize_);
    written_ += rangeSize_;
    rangeSize_ = 0;
  }

  // Whether the old file holds `bytes` at `at`.
  bool sameAsSource(QByteArrayView bytes, qint64 at) {
#ifndef Q_OS_WIN
    compare_.resize(bytes.size());
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::pread(source_.handle(), compare_.data() + done,
                                  static_cast<size_t>(bytes.size() - done), at + done);
      if (got <= 0) return false;
      done += got;
    }
    return std::memcmp(compare_.constData(), bytes.data(), static_cast<size_t>(done)) == 0;
#else
    Q_UNUSED(bytes);
    Q_UNUSED(at);
    return false;
#endif
  }

  // Whether the pending range equals the old file's bytes where it goes.
  bool rangeSameAsSource() {
#ifndef Q_OS_WIN
    QByteArray piece;
    for (qint64 done = 0; done < rangeSize_;) {
      piece.resize(static_cast<qsizetype>(std::min<qint64>(rangeSize_ - done, kOutputChunk)));
      const ssize_t got = ::pread(source_.handle(), piece.data(), static_cast<size_t>(piece.size()),
                                  rangeStart_ + done);
      if (got <= 0) return false;
      piece.resize(got);
      if (!sameAsSource(piece, written_ + done)) return false;
      done += got;
    }
    return true;
#else
    return false;
#endif
  }

  AtomicReplacement replacement_;
  QFile& source_;
  QByteArray buffer_;
  QByteArray compare_;
  qint64 rangeStart_ = 0;
  qint64 rangeSize_ = 0;
  qint64 written_ = 0;
  bool identical_ = true;
  bool kernelCopies_ = true;
  Status status_ = Status::success();
};

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
// the marker where the scans of this session found it; only while the file is the one they read.
std::optional<qint64> unchangedPrefix(const QString& path, DataFileReader& reader,
                                      const RewriteSteps& steps) {
  const std::optional<FileIdentity> identity = fileIdentity(reader.file().handle());
  if (!identity) return std::nullopt;
  std::optional<qint64> offset;
  if (steps.unchangedStart && steps.unchangedStart->identity == *identity) {
    offset = steps.unchangedStart->offset;
  } else if (!steps.schedule && steps.scheduleStops.isEmpty()) {
    offset = sessionMarkerOffset(path, *identity);
  }
  if (!offset || *offset <= 0 || *offset > identity->size) return std::nullopt;
  return offset;
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

  if (const std::optional<qint64> prefix = unchangedPrefix(path, reader, steps)) {
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
  return output.finish();
}

Status createDataFile(const QString& path) {
  const DataFileLock lock(path);
  if (!lock.isHeld()) return lock.status();
  return replaceFileContents(path, markerLine());
}
