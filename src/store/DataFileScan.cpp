#include "store/DataFileScan.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "store/DataFileReader.h"
#include "store/FileIdentity.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// What the scans of a session found in one file, and which file that was.
struct ScanPlaces {
  QString path;
  FileIdentity identity;
  // Where the first record of a month's run starts; -1 for a month the file does not hold.
  QHash<QByteArray, qint64> months;
  qint64 marker = -1;  // where the marker starts, once found
};

struct SessionState {
  int depth = 0;
  ScanPlaces places;
};

thread_local SessionState gSession;

// Where the marker of one file starts, as the last pass of this program that found it or wrote
// it there left it: it outlives a session, so that the minute's scan and the next rewrite of a
// file unchanged since need not count their way to it. Only a file whose change times go finer
// than seconds is remembered: where they are coarser (FAT), another program's edit of the same
// size within the same second would look like the file the pass saw.
struct KnownMarker {
  std::mutex mutex;
  QString path;
  FileIdentity identity;
  qint64 offset = -1;
};

KnownMarker& knownMarker() {
  static KnownMarker known;
  return known;
}

bool timesFinerThanSeconds(const FileIdentity& identity) {
  constexpr qint64 kNano = 1000000000;
  return identity.changed % kNano != 0 || identity.modified % kNano != 0;
}

std::optional<qint64> lastKnownMarker(const QString& path, const FileIdentity& identity) {
  KnownMarker& known = knownMarker();
  const std::lock_guard guard(known.mutex);
  if (known.offset < 0 || known.path != path || !(known.identity == identity)) return std::nullopt;
  return known.offset;
}

bool isDelimiter(char c) { return c == ',' || c == '\r' || c == '\n'; }

// Whether the bytes at `offset` of the open file are a marker record's start: a delimiter
// before them, the marker's text (quoted or not) and a delimiter after it. What a pass
// remembered is checked so before anything is built on it.
bool markerStartsAt(int fd, qint64 offset) {
#ifndef Q_OS_WIN
  const qsizetype text = kTimerMarkerText.size();
  char bytes[32];
  const qint64 from = offset > 0 ? offset - 1 : 0;
  const qsizetype wanted = text + 3 + (offset > 0 ? 1 : 0);
  if (offset < 0 || ::pread(fd, bytes, static_cast<size_t>(wanted), from) != wanted) return false;
  const QByteArrayView seen(bytes, wanted);
  if (offset > 0 && !isDelimiter(seen[0])) return false;
  const QByteArrayView field = seen.sliced(offset > 0 ? 1 : 0);
  if (field.startsWith(kTimerMarkerText)) return isDelimiter(field[text]);
  return field[0] == '"' && field.sliced(1).startsWith(kTimerMarkerText) &&
         field[text + 1] == '"' && isDelimiter(field[text + 2]);
#else
  Q_UNUSED(fd);
  Q_UNUSED(offset);
  return false;
#endif
}

// The places known for the file the reader has open, within a session; none outside one, or
// when the file cannot tell what it is. A file other than the one remembered starts afresh,
// with the marker where the last pass left it.
ScanPlaces* placesFor(const QString& path, DataFileReader& reader) {
  if (gSession.depth == 0) return nullptr;
  const std::optional<FileIdentity> identity = fileIdentity(reader.file().handle());
  if (!identity) return nullptr;
  ScanPlaces& places = gSession.places;
  if (places.path != path || !(places.identity == *identity)) {
    const qint64 marker = lastKnownMarker(path, *identity).value_or(-1);
    const bool checked = marker >= 0 && markerStartsAt(reader.file().handle(), marker);
    places = ScanPlaces{path, *identity, {}, checked ? marker : -1};
  }
  return &places;
}

// A scan found the marker of the file it reads at `offset`.
void markerFound(const QString& path, DataFileReader& reader, ScanPlaces* places, qint64 offset) {
  if (places) {
    places->marker = offset;
    rememberMarkerOffset(path, places->identity, offset);
  } else if (const std::optional<FileIdentity> identity = fileIdentity(reader.file().handle())) {
    rememberMarkerOffset(path, *identity, offset);
  }
}

// Where the scan of the file the reader has open may start looking for the marker.
std::optional<qint64> markerFor(const QString& path, DataFileReader& reader,
                                const ScanPlaces* places) {
  if (places) return places->marker >= 0 ? std::optional<qint64>(places->marker) : std::nullopt;
  return knownMarkerOffset(path, reader);
}

}  // namespace

std::optional<qint64> knownMarkerOffset(const QString& path, DataFileReader& reader) {
  const int fd = reader.file().handle();
  const std::optional<FileIdentity> identity = fileIdentity(fd);
  if (!identity) return std::nullopt;
  const ScanPlaces& places = gSession.places;
  std::optional<qint64> offset;
  if (gSession.depth > 0 && places.path == path && places.identity == *identity &&
      places.marker >= 0) {
    offset = places.marker;
  } else {
    offset = lastKnownMarker(path, *identity);
  }
  if (!offset || *offset > identity->size || !markerStartsAt(fd, *offset)) return std::nullopt;
  return offset;
}

void rememberMarkerOffset(const QString& path, const FileIdentity& identity, qint64 offset) {
  KnownMarker& known = knownMarker();
  const std::lock_guard guard(known.mutex);
  if (!timesFinerThanSeconds(identity)) {
    known.offset = -1;
    return;
  }
  known.path = path;
  known.identity = identity;
  known.offset = offset;
}

ScanSession::ScanSession() : outermost_(gSession.depth++ == 0) {}

ScanSession::~ScanSession() {
  --gSession.depth;
  if (outermost_) gSession.places = ScanPlaces{};
}

Status scanSchedule(const QString& path, const std::function<bool(const ScheduleRecord&)>& visit) {
  DataFileReader reader(path);
  if (!reader.open()) return Status::failure(reader.errorString());
  QList<Field> fields;
  while (!reader.atEnd()) {
    if (!reader.readRecord(ScheduleRecord::kFieldCount, &fields)) {
      return Status::failure(reader.errorString());
    }
    if (TimerMarker::matches(fields[0])) break;
    if (!visit(ScheduleRecord::fromFields(fields))) break;
  }
  if (!reader.errorString().isEmpty()) return Status::failure(reader.errorString());
  return Status::success();
}

ScheduleRecord ScheduleRecordView::toRecord() const {
  ScheduleRecord record;
  Field* targets[] = {&record.EntryDate, &record.Subject, &record.Content, &record.DoneFlag,
                      &record.DeleteFlag};
  for (int i = 0; i < ScheduleRecord::kFieldCount; ++i) {
    *targets[i] = Field{fields[i].toByteArray(), quoted[i]};
  }
  return record;
}

namespace {

// Reads the next record into views of the reader's buffer, kept from its start: valid until the
// next read.
bool readView(DataFileReader& reader, ScheduleRecordView* view) {
  std::array<DataFileReader::Span, ScheduleRecord::kFieldCount> spans;
  reader.keepFromHere();
  if (!reader.readFieldSpans(ScheduleRecord::kFieldCount, spans.data())) return false;
  // The buffer may have moved while the record was read: views are made at its end.
  const char* base = reader.kept().data();
  for (int i = 0; i < ScheduleRecord::kFieldCount; ++i) {
    view->fields[i] = QByteArrayView(base + spans[i].begin, spans[i].end - spans[i].begin);
    view->quoted[i] = spans[i].quoted;
  }
  return true;
}

}  // namespace

Status scanScheduleViews(const QString& path,
                         const std::function<bool(const ScheduleRecordView&)>& visit) {
  DataFileReader reader(path);
  if (!reader.open()) return Status::failure(reader.errorString());
  ScheduleRecordView view;
  while (!reader.atEnd()) {
    if (!readView(reader, &view)) break;
    if (view.fields[0] == kTimerMarkerText) break;
    if (!visit(view)) break;
  }
  reader.stopKeeping();
  if (!reader.errorString().isEmpty()) return Status::failure(reader.errorString());
  return Status::success();
}

Status scanScheduleViewsHolding(const QString& path, int field, const QList<QByteArray>& needles,
                                const std::function<bool(QByteArrayView)>& fieldHolds,
                                const std::function<bool(const ScheduleRecordView&)>& visit) {
  DataFileReader reader(path);
  if (!reader.open()) return Status::failure(reader.errorString());
  std::vector<QByteArrayView> views(needles.cbegin(), needles.cend());
  const auto holds = [&](QByteArrayView bytes) {
    return std::any_of(views.cbegin(), views.cend(),
                       [&](QByteArrayView needle) { return bytes.contains(needle); });
  };
  ScheduleRecordView view;
  while (!reader.atEnd()) {
    reader.passRecordsHolding(
        ScheduleRecord::kFieldCount, field, views, kTimerMarkerText,
        [&](QByteArrayView bytes) { return fieldHolds(bytes); },
        [&](const QByteArrayView* record) {
          return record[0] != kTimerMarkerText && !holds(record[field]);
        });
    if (reader.atEnd()) break;
    if (!readView(reader, &view)) break;
    reader.stopKeeping();
    if (view.fields[0] == kTimerMarkerText) break;
    if (!visit(view)) break;
  }
  if (!reader.errorString().isEmpty()) return Status::failure(reader.errorString());
  return Status::success();
}

QByteArray monthKey(int year, int month) {
  return QByteArray::number(year).rightJustified(4, '0') + '/' +
         QByteArray::number(month).rightJustified(2, '0');
}

Status scanMonth(const QString& path, int year, int month,
                 const std::function<void(const ScheduleRecord&)>& visit) {
  const QByteArray key = monthKey(year, month);
  // The usual "yyyy/mm" is compared as one number: the pass meets every record before the month.
  quint64 packedKey = 0;
  if (key.size() == 7) std::memcpy(&packedKey, key.constData(), 7);
  const auto startsWithKey = [&](QByteArrayView date) {
    if (key.size() != 7 || date.size() < 7) return date.startsWith(key);
    quint64 head = 0;
    std::memcpy(&head, date.data(), 7);
    return head == packedKey;
  };
  DataFileReader reader(path);
  if (!reader.open()) return Status::failure(reader.errorString());
  ScanPlaces* places = placesFor(path, reader);
  if (places) {
    const auto known = places->months.constFind(key);
    if (known != places->months.cend()) {
      if (*known < 0) return Status::success();
      if (!reader.seekTo(*known)) places = nullptr;
    }
  }
  QList<Field> fields(ScheduleRecord::kFieldCount);
  bool met = false;
  // The records before the month are passed over up to the next that may start the month or
  // the timers, found by a byte search.
  const QByteArrayView stops[] = {key, kTimerMarkerText};
  while (!reader.atEnd()) {
    if (!met) {
      reader.passRecordsTo(ScheduleRecord::kFieldCount, stops, [&](const QByteArrayView* record) {
        return record[0] != kTimerMarkerText && !startsWithKey(record[0]);
      });
      if (reader.atEnd()) break;
    }
    // Only the date decides; the other fields of a record outside the month are skipped.
    const qint64 recordStart = reader.offset();
    QByteArrayView date;
    if (!reader.readFieldView(&date)) break;
    if (date == kTimerMarkerText) {
      markerFound(path, reader, places, recordStart);
      if (places && !met) places->months.insert(key, -1);
      break;
    }
    const bool inMonth = date.startsWith(key);
    if (!inMonth && met) break;
    if (inMonth && !met && places) places->months.insert(key, recordStart);
    if (!inMonth) {
      if (!reader.skipFields(ScheduleRecord::kFieldCount - 1)) break;
      continue;
    }
    fields[0].raw = date.toByteArray();
    fields[0].quoted = true;  // a date is always written quoted; only its text is used here
    if (!reader.readFields(1, ScheduleRecord::kFieldCount - 1, &fields)) break;
    met = true;
    visit(ScheduleRecord::fromFields(fields));
  }
  if (!reader.errorString().isEmpty()) return Status::failure(reader.errorString());
  return Status::success();
}

Status scanTimers(const QString& path, const std::function<void(const TimerRecord&)>& visit) {
  DataFileReader reader(path);
  if (!reader.open()) return Status::failure(reader.errorString());
  ScanPlaces* places = placesFor(path, reader);
  if (const std::optional<qint64> marker = markerFor(path, reader, places)) {
    if (!reader.seekTo(*marker)) places = nullptr;
  }
  QList<Field> fields(TimerRecord::kFieldCount);
  bool inTimers = false;
  const QByteArrayView marker[] = {kTimerMarkerText};
  while (!reader.atEnd()) {
    if (!inTimers) {
      // Schedule records are passed over up to the marker, found by a byte search.
      reader.passRecordsTo(ScheduleRecord::kFieldCount, marker, [](const QByteArrayView* record) {
        return record[0] != kTimerMarkerText;
      });
      if (reader.atEnd()) break;
      const qint64 recordStart = reader.offset();
      QByteArrayView first;
      if (!reader.readFieldView(&first)) break;
      inTimers = first == kTimerMarkerText;
      if (inTimers) markerFound(path, reader, places, recordStart);
      if (!reader.skipFields(ScheduleRecord::kFieldCount - 1)) break;
      continue;
    }
    if (!reader.readRecord(TimerRecord::kFieldCount, &fields)) break;
    visit(TimerRecord::fromFields(fields));
  }
  if (!reader.errorString().isEmpty()) return Status::failure(reader.errorString());
  return Status::success();
}
