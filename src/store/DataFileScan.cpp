#include "store/DataFileScan.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "store/DataFileReader.h"
#include "store/FileIdentity.h"

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

// The places known for the file the reader has open, within a session; none outside one, or
// when the file cannot tell what it is. A file other than the one remembered starts afresh.
ScanPlaces* placesFor(const QString& path, DataFileReader& reader) {
  if (gSession.depth == 0) return nullptr;
  const std::optional<FileIdentity> identity = fileIdentity(reader.file().handle());
  if (!identity) return nullptr;
  ScanPlaces& places = gSession.places;
  if (places.path != path || !(places.identity == *identity)) {
    places = ScanPlaces{path, *identity, {}, -1};
  }
  return &places;
}

}  // namespace

std::optional<qint64> sessionMarkerOffset(const QString& path, const FileIdentity& identity) {
  const ScanPlaces& places = gSession.places;
  if (gSession.depth == 0 || places.path != path || !(places.identity == identity) ||
      places.marker < 0) {
    return std::nullopt;
  }
  return places.marker;
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
  DataFileReader::NeedleCursor cursor;
  while (!reader.atEnd()) {
    reader.passRecordsHolding(
        ScheduleRecord::kFieldCount, field, views, kTimerMarkerText, cursor,
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
      if (places) {
        places->marker = recordStart;
        if (!met) places->months.insert(key, -1);
      }
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
  if (places && places->marker >= 0 && !reader.seekTo(places->marker)) places = nullptr;
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
      if (inTimers && places) places->marker = recordStart;
      if (!reader.skipFields(ScheduleRecord::kFieldCount - 1)) break;
      continue;
    }
    if (!reader.readRecord(TimerRecord::kFieldCount, &fields)) break;
    visit(TimerRecord::fromFields(fields));
  }
  if (!reader.errorString().isEmpty()) return Status::failure(reader.errorString());
  return Status::success();
}
