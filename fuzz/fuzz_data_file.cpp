// libFuzzer target: any bytes as a data file. The readers must neither crash nor hang, and
// copying what was read must be stable: a copy of a copy is byte-identical to the copy. The
// rewrite, which copies records as the bytes they stand in, must leave every record reading
// as it did, and a second rewrite must change nothing; steps that copy most records without
// reading them into records must write what they write when they read every record. The passes
// that jump with a byte search find what a field-by-field read finds.
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>

#include "store/DataFileReader.h"
#include "store/DataFileScan.h"
#include "store/Rewrite.h"

namespace {

QString scratchFile() {
  const QString folder = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  return QStringLiteral("%1/yotenna-fuzz-%2.dat").arg(folder).arg(::getpid());
}

void store(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
  file.write(bytes);
}

// Reads the file the way every rewrite does and returns what an unchanged copy writes.
QByteArray copyOf(const QString& path) {
  QByteArray out;
  if (!scanSchedule(path, [&](const ScheduleRecord& r) {
        out += encodeLine(r.fields());
        return true;
      })) {
    return {};
  }
  out += encodeLine(TimerMarker::fields());
  if (!scanTimers(path, [&](const TimerRecord& r) { out += encodeLine(r.fields()); })) return {};
  return out;
}

// The timers as a reader that copies every field finds them; the scans pass over fields
// without copying, and must find the same.
QList<TimerRecord> timersReadInFull(const QString& path, bool* ok) {
  QList<TimerRecord> timers;
  DataFileReader reader(path);
  *ok = reader.open();
  QList<Field> fields;
  bool inTimers = false;
  while (*ok && !reader.atEnd()) {
    const int count = inTimers ? TimerRecord::kFieldCount : ScheduleRecord::kFieldCount;
    if (!reader.readRecord(count, &fields)) {
      *ok = false;
      break;
    }
    if (inTimers) {
      timers.append(TimerRecord::fromFields(fields));
    } else {
      inTimers = TimerMarker::matches(fields[0]);
    }
  }
  return timers;
}

// The month's records as a reader that reads every record field by field finds them; the month
// scan jumps to them with a byte search, and must find the same.
QList<ScheduleRecord> monthReadInFull(const QString& path, const QByteArray& key, bool* ok) {
  QList<ScheduleRecord> records;
  DataFileReader reader(path);
  *ok = reader.open();
  QList<Field> fields;
  bool met = false;
  while (*ok && !reader.atEnd()) {
    if (!reader.readRecord(ScheduleRecord::kFieldCount, &fields)) {
      *ok = false;
      break;
    }
    if (TimerMarker::matches(fields[0])) break;
    const bool inMonth = fields[0].raw.startsWith(key);
    if (!inMonth && met) break;
    if (!inMonth) continue;
    met = true;
    fields[0].quoted = true;  // the month scan reads only a date's text
    records.append(ScheduleRecord::fromFields(fields));
  }
  return records;
}

// A step that changes the first record of one date it keeps and drops that date's records
// whose subject starts with 'x'; given the date to look for, the rewrite hands it only the
// records of that date, and must write what it writes when it sees every record.
QByteArray rewrittenLookingFor(const QString& path, const QByteArray& bytes, bool stops) {
  store(path, bytes);
  RewriteSteps steps;
  static const QByteArray date("2001/05/03");
  steps.schedule = [](const ScheduleRecord& r, RecordSink& sink) {
    if (!r.EntryDate.raw.startsWith(date)) return sink.write(r);
    if (r.Subject.raw.startsWith('x')) return;
    sink.write(ScheduleRecord{r.EntryDate, Field::text("z"), r.Content, r.DoneFlag, r.DeleteFlag});
    sink.copyRest();
  };
  if (stops) steps.scheduleStops = {date};
  if (!rewriteDataFile(path, steps).status) return "failed";
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) std::abort();
  return file.readAll();
}

// A rewrite whose steps say which records they keep as they stand writes what the steps
// alone write.
QByteArray rewrittenWith(const QString& path, const QByteArray& bytes, bool keeps) {
  store(path, bytes);
  RewriteSteps steps;
  steps.schedule = [](const ScheduleRecord& r, RecordSink& sink) {
    if (!r.Subject.raw.startsWith('x')) sink.write(r);
  };
  steps.timer = [](const TimerRecord& r, RecordSink& sink) {
    if (!r.TimerTitle.raw.startsWith('x')) sink.write(r);
  };
  if (keeps) {
    steps.keepsSchedule = [](const QByteArrayView* f) {
      return !f[1].startsWith('x') && f[0].size() % 2 == 0;
    };
    steps.keepsTimer = [](const QByteArrayView* f) { return !f[0].startsWith('x'); };
  }
  if (!rewriteDataFile(path, steps).status) return "failed";
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) std::abort();
  return file.readAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = scratchFile();
  store(path, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

  bool fullOk = false;
  const QList<TimerRecord> expected = timersReadInFull(path, &fullOk);
  QList<TimerRecord> scanned;
  const bool scanOk = scanTimers(path, [&](const TimerRecord& r) { scanned.append(r); }).isOk();
  if (scanOk != fullOk || (scanOk && scanned != expected)) std::abort();

  bool monthOk = false;
  const QList<ScheduleRecord> month = monthReadInFull(path, "2001/05", &monthOk);
  QList<ScheduleRecord> monthScanned;
  const bool monthScanOk =
      scanMonth(path, 2001, 5, [&](const ScheduleRecord& r) { monthScanned.append(r); }).isOk();
  if (monthScanOk != monthOk || (monthOk && monthScanned != month)) std::abort();
  int seen = 0;
  (void)scanTimers(path, [&](const TimerRecord& r) {
    seen += static_cast<int>(r.TimerTitle.toText().size() > 0);
  });

  const QByteArray original(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (rewrittenWith(path, original, true) != rewrittenWith(path, original, false)) std::abort();
  if (rewrittenLookingFor(path, original, true) != rewrittenLookingFor(path, original, false)) {
    std::abort();
  }
  store(path, original);

  const QByteArray copy = copyOf(path);
  if (copy.isEmpty()) return 0;  // unreadable input: nothing would be written

  // What the raw rewrite writes reads as the same records, and is stable.
  const RewriteResult rewritten = rewriteDataFile(path, {});
  if (!rewritten.status) std::abort();  // the file was readable as a whole just now
  if (copyOf(path) != copy) std::abort();
  const RewriteResult again = rewriteDataFile(path, {});
  if (!again.status || again.changed) std::abort();

  store(path, copy);
  if (copyOf(path) != copy) std::abort();
  return 0;
}
