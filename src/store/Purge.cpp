#include "store/Purge.h"

#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "store/Cp932.h"
#include "store/DataFileReader.h"
#include "store/FileIdentity.h"
#include "store/Rewrite.h"
#include "store/SystemError.h"
#include "store/TimerView.h"

long long timerMoment(long long year, long long month, long long day, long long hour,
                      long long minute) {
  return (year * 10000 + month * 100 + day) * 10000 + hour * 100 + minute;
}

namespace {

QString textOf(QByteArrayView raw) { return decodeCp932(raw.toByteArray()); }

long long valueOf(QByteArrayView raw) { return integerValue(textOf(raw)); }

// Flags are compared by value: a bare 1 and a quoted "1" both mean set.
bool isSet(QByteArrayView raw) {
  if (raw.size() == 1 && (raw[0] == '0' || raw[0] == '1')) return raw[0] == '1';
  return Field{raw.toByteArray(), false}.isSet();
}

// The rules of the tidy-up, for the read-only pass and the rewrite alike.
class PurgeRules {
 public:
  PurgeRules(const QString& path, const QDate& selectedDate, const QDateTime& now)
      : path_(path),
        threshold_(dateKey(selectedDate)),
        nowMoment_(timerMoment(now.date().year(), now.date().month(), now.date().day(),
                               now.time().hour(), now.time().minute())) {}

  // The key of an entry's date, and whether its bytes are already as the tidy-up writes them
  // (then `date` is not needed); otherwise the date read the slow way, if it can be read.
  struct EntryDate {
    bool canonical = false;
    std::optional<QDate> date;
    int key = 0;
    bool readable() const { return canonical || date.has_value(); }
  };
  EntryDate entryDate(QByteArrayView raw) const {
    EntryDate result;
    if (const std::optional<int> key = canonicalDateKey(raw)) {
      result.canonical = true;
      result.key = *key;
      return result;
    }
    result.date = parseDateText(textOf(raw));
    if (result.date) {
      result.key =
          static_cast<int>(integerValue(textOf(raw).left(4))) * 1000 + result.date->dayOfYear();
    }
    return result;
  }
  QString unreadableDate(QByteArrayView raw) const {
    return QStringLiteral("データファイル%1を整理できません。\n理由: 日付け「%2」が読めません")
        .arg(quotedPath(path_), textOf(raw));
  }
  bool dropsEntry(int key) const { return key < threshold_; }
  // An entry the tidy-up keeps exactly as it stands, from the bytes of its fields.
  bool keepsEntryAsItStands(const QByteArrayView* fields) const {
    const std::optional<int> key = canonicalDateKey(fields[0]);
    return key && !(isSet(fields[3]) && isSet(fields[4]) && dropsEntry(*key));
  }
  // keepsEntryAsItStands for a whole record as it stands in the file. Most records are as the
  // program writes them, a quoted date first and two bare flags at the end of their line, and
  // are judged from those bytes (the record's delimiters lie outside quotes, so the last two
  // fields are those flags); any other from its fields.
  bool keepsRecordAsItStands(QByteArrayView record) const {
    const char* const bytes = record.data();
    const qsizetype size = record.size();
    constexpr qsizetype kHead = 12;  // "yyyy/mm/dd"
    if (size >= kHead + 7 && bytes[0] == '"' && bytes[kHead - 1] == '"' && bytes[kHead] == ',') {
      const char* const tail = bytes + size - 6;  // ,F,F CR LF
      const auto isFlag = [](char c) { return c == '0' || c == '1'; };
      if (tail[0] == ',' && isFlag(tail[1]) && tail[2] == ',' && isFlag(tail[3]) &&
          tail[4] == '\r' && tail[5] == '\n') {
        if (std::memcmp(bytes, lastHead_, kHead) != 0) {
          const std::optional<int> key = canonicalDateKey(QByteArrayView(bytes + 1, kHead - 2));
          if (!key) return false;
          std::memcpy(lastHead_, bytes, kHead);
          lastKey_ = *key;
        }
        return !(tail[1] == '1' && tail[3] == '1' && dropsEntry(lastKey_));
      }
    }
    std::array<QByteArrayView, ScheduleRecord::kFieldCount> fields;
    const char* p = bytes;
    for (QByteArrayView& field : fields) {
      DataFileReader::Parsed parsed;
      if (!DataFileReader::parseInBuffer(p, bytes + size, &parsed)) return false;
      field = QByteArrayView(parsed.value, parsed.valueEnd - parsed.value);
      p = parsed.next;
    }
    return fields[0] != kTimerMarkerText && keepsEntryAsItStands(fields.data());
  }
  bool dropsTimer(QByteArrayView kind, QByteArrayView year, QByteArrayView month,
                  QByteArrayView day, QByteArrayView hour, QByteArrayView minute) const {
    // Only a kind that converts to the number 0; unknown kinds are never purged.
    if (!TimerView::kindIsZeroByNumber(kind)) return false;
    return timerMoment(valueOf(year), valueOf(month), valueOf(day), valueOf(hour),
                       valueOf(minute)) < nowMoment_;
  }

 private:
  QString path_;
  int threshold_;
  long long nowMoment_;
  // The head of the last record judged from its bytes, and the key of its date.
  mutable char lastHead_[12] = {};
  mutable int lastKey_ = 0;
};

// What the read-only pass found: whether the tidy-up would change the file (or must report on
// it), and where the first thing it would change starts in that very file (0: not known).
struct PurgeNeed {
  bool needed = true;
  qint64 firstChange = 0;
  std::optional<FileIdentity> identity;
  // For a pass told to leave the entries from a place on to another: where the first entry it
  // left starts (-1: it judged the whole rest itself).
  qint64 leftFrom = -1;
};

// Where a pass over part of the file ends, and how it learns that its result is no longer
// wanted.
struct PassLimits {
  qint64 leaveFrom = -1;  // entries that start at or after it are left to another pass
  const std::atomic<bool>* cancelled = nullptr;
};

// The read-only pass from where `reader` stands (where an entry starts, before the marker) to
// the end of the file, or to an entry that limits.leaveFrom leaves to another pass. Reads only
// the fields the rules look at.
PurgeNeed judgeFrom(DataFileReader& reader, const PurgeRules& rules, const PassLimits& limits) {
  PurgeNeed need;
  const auto changeAt = [&](qint64 offset) {
    need.firstChange = offset;
    return need;
  };
  const auto judges = [&](const char* recordInBuffer) {
    return limits.leaveFrom < 0 || reader.offsetOf(recordInBuffer) < limits.leaveFrom;
  };
  const auto cancelled = [&] {
    return limits.cancelled && limits.cancelled->load(std::memory_order_relaxed);
  };
  QList<Field> fields;
  bool markerSeen = false;
  qint64 markerStart = 0;
  while (!reader.atEnd()) {
    // Entries the tidy-up keeps as they stand, in one tight pass; the careful read below looks
    // again at the record it stops at.
    reader.passByRecord(
        ScheduleRecord::kFieldCount,
        [&](QByteArrayView record) {
          return judges(record.data()) && !cancelled() && rules.keepsRecordAsItStands(record);
        },
        [&](const QByteArrayView* record) {
          return judges(record[0].data()) && record[0] != kTimerMarkerText &&
                 rules.keepsEntryAsItStands(record);
        });
    if (reader.atEnd() || cancelled()) break;
    reader.keepFromHere();
    const qint64 recordStart = reader.keptOffset();
    if (limits.leaveFrom >= 0 && recordStart >= limits.leaveFrom) {
      need.leftFrom = recordStart;
      return need;
    }
    if (!reader.readRecord(ScheduleRecord::kFieldCount, &fields)) return changeAt(recordStart);
    if (TimerMarker::matches(fields[0])) {
      markerSeen = true;
      markerStart = recordStart;
      // A marker written any other way is written again as the program writes it.
      static const QByteArray canonical = encodeLine(TimerMarker::fields());
      if (reader.kept() != canonical) return changeAt(recordStart);
      break;
    }
    const std::array<QByteArrayView, ScheduleRecord::kFieldCount> record{
        fields[0].raw, fields[1].raw, fields[2].raw, fields[3].raw, fields[4].raw};
    if (!rules.keepsEntryAsItStands(record.data())) return changeAt(recordStart);
  }
  reader.stopKeeping();
  if (!markerSeen) return changeAt(0);  // gets its marker
  // Whatever else changes lies at or after the marker.
  while (!reader.atEnd()) {
    if (!reader.readRecord(TimerRecord::kFieldCount, &fields)) return changeAt(markerStart);
    if (rules.dropsTimer(fields[1].raw, fields[2].raw, fields[3].raw, fields[4].raw, fields[5].raw,
                         fields[6].raw)) {
      return changeAt(markerStart);
    }
  }
  if (!reader.errorString().isEmpty()) return changeAt(markerStart);
  // What the rewrite leaves out or adds at the end: blank lines after the last record, the CR
  // LF of a last line without one.
  if (reader.offset() != reader.fileSize()) return changeAt(markerStart);
  QFile& file = reader.file();
  char last = '\n';
  if (file.size() > 0 && (!file.seek(file.size() - 1) || !file.getChar(&last))) {
    return changeAt(markerStart);
  }
  need.needed = last != '\n' && last != '\r' && last != ',';
  need.firstChange = markerStart;
  return need;
}

// Files from this size on are judged by two threads where the processor has two cores.
constexpr qint64 kSplitFromSize = 8 << 20;

std::optional<qint64>& splitChoice() {
  static std::optional<qint64> choice;
  return choice;
}

// Where a line seems to start a record, at or after `from`: after a line end, a double quote.
// Only a guess, which the first thread's pass confirms or refutes; -1 when none is near.
qint64 lineStartAfter(QFile& file, qint64 from) {
  const qint64 lookFrom = std::max<qint64>(from - 2, 0);
  if (!file.seek(lookFrom)) return -1;
  const QByteArray bytes = file.read(64 * 1024);
  const qsizetype at = bytes.indexOf("\r\n\"");
  return at < 0 ? -1 : lookFrom + at + 2;
}

// The second half of a split pass: the entries from a line start near `from` on, in a
// reader of its own over the same file.
struct SecondHalf {
  std::atomic<bool> cancelled{false};
  qint64 start = -1;  // where it started; -1: it did not
  PurgeNeed need;
  std::thread thread;

  void run(const QString& path, const PurgeRules& rules, const FileIdentity& identity,
           qint64 from) {
    try {
      thread = std::thread([this, path, rules, identity, from] {
        DataFileReader reader(path);
        if (!reader.open() || fileIdentity(reader.file().handle()) != identity) return;
        const qint64 lineStart = lineStartAfter(reader.file(), from);
        if (lineStart < 0 || !reader.seekTo(lineStart)) return;
        PassLimits limits;
        limits.cancelled = &cancelled;
        need = judgeFrom(reader, rules, limits);
        start = lineStart;
      });
    } catch (const std::system_error&) {
      // No thread to be had: the first pass judges the whole file.
    }
  }
  void wait() {
    if (thread.joinable()) thread.join();
  }
  ~SecondHalf() {
    cancelled = true;
    wait();
  }
};

// The read-only pass. A large file is judged in two halves at once: the second thread from a
// line start in its middle, the first up to there. Where the first finds that a record really
// starts there (and nothing to change before it), the second's findings stand for the rest;
// otherwise the first goes on alone, as if there had been no split.
PurgeNeed needsRewrite(const QString& path, const PurgeRules& rules) {
  DataFileReader reader(path);
  if (!reader.open()) return {};  // the rewrite reports why
  const std::optional<FileIdentity> identity = fileIdentity(reader.file().handle());
  std::optional<qint64> split = splitChoice();
  if (!split && reader.fileSize() >= kSplitFromSize && std::thread::hardware_concurrency() > 1) {
    split = reader.fileSize() / 2;
  }
  PurgeNeed need;
  if (split && identity) {
    SecondHalf second;
    second.run(path, rules, *identity, *split);
    // Up to the first record that starts at or after the split.
    PassLimits limits;
    limits.leaveFrom = *split;
    need = judgeFrom(reader, rules, limits);
    if (need.leftFrom >= 0) {
      second.wait();
      if (need.leftFrom == second.start) {
        second.need.identity = identity;
        return second.need;
      }
      need = judgeFrom(reader, rules, {});
    }
  } else {
    need = judgeFrom(reader, rules, {});
  }
  need.identity = identity;
  return need;
}

}  // namespace

namespace storetesting {
void splitPurgePass(std::optional<qint64> at) { splitChoice() = at; }
}  // namespace storetesting

Status purgeDataFile(const QString& path, const QDate& selectedDate, const QDateTime& now,
                     QList<TimerRecord>* removedOnceTimers, bool* rewritten) {
  if (removedOnceTimers) removedOnceTimers->clear();
  if (rewritten) *rewritten = false;
  const PurgeRules rules(path, selectedDate, now);
  // Most openings find nothing to tidy: one read, no lock, no write.
  const PurgeNeed need = needsRewrite(path, rules);
  if (!need.needed) return Status::success();
  QList<TimerRecord> removed;

  RewriteSteps steps;
  steps.schedule = [&](const ScheduleRecord& record, RecordSink& sink) {
    const PurgeRules::EntryDate date = rules.entryDate(record.EntryDate.raw);
    if (!date.readable()) {
      sink.fail(rules.unreadableDate(record.EntryDate.raw));
      return;
    }
    if (isSet(record.DoneFlag.raw) && isSet(record.DeleteFlag.raw) && rules.dropsEntry(date.key)) {
      return;
    }
    if (date.canonical) {
      sink.write(record);
      return;
    }
    ScheduleRecord kept = record;
    kept.EntryDate = Field::text(formatDate(*date.date, u"yyyy/mm/dd"));
    sink.write(kept);
  };
  // Entries with a canonical date that stay, and timers that stay, are copied without a step.
  steps.keepsSchedule = [&](const QByteArrayView* fields) {
    return rules.keepsEntryAsItStands(fields);
  };
  steps.keepsScheduleRecord = [&](QByteArrayView record) {
    return rules.keepsRecordAsItStands(record);
  };
  steps.keepsTimer = [&](const QByteArrayView* fields) {
    return !rules.dropsTimer(fields[1], fields[2], fields[3], fields[4], fields[5], fields[6]);
  };
  steps.timer = [&](const TimerRecord& timer, RecordSink& sink) {
    if (rules.dropsTimer(timer.TimerKind.raw, timer.TimerYearOrWeekday.raw, timer.TimerMonth.raw,
                         timer.TimerDay.raw, timer.TimerHour.raw, timer.TimerMinute.raw)) {
      removed.append(timer);
      return;
    }
    sink.write(timer);
  };
  // What the read-only pass found unchanged is copied unread, if the file is still that one.
  if (need.identity && need.firstChange > 0) {
    steps.unchangedStart = RewriteSteps::UnchangedStart{need.firstChange, *need.identity};
  }
  const Status status = rewriteDataFile(path, steps).status;
  if (status && removedOnceTimers) *removedOnceTimers = std::move(removed);
  if (status && rewritten) *rewritten = true;
  return status;
}
