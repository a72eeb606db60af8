#include "store/DataFileScan.h"

#include "store/DataFileReader.h"

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

QByteArray monthKey(int year, int month) {
  return QByteArray::number(year).rightJustified(4, '0') + '/' +
         QByteArray::number(month).rightJustified(2, '0');
}

Status scanMonth(const QString& path, int year, int month,
                 const std::function<void(const ScheduleRecord&)>& visit) {
  const QByteArray key = monthKey(year, month);
  bool met = false;
  return scanSchedule(path, [&](const ScheduleRecord& record) {
    if (record.EntryDate.raw.startsWith(key)) {
      met = true;
      visit(record);
      return true;
    }
    return !met;
  });
}

Status scanTimers(const QString& path, const std::function<void(const TimerRecord&)>& visit) {
  DataFileReader reader(path);
  if (!reader.open()) return Status::failure(reader.errorString());
  QList<Field> fields;
  bool inTimers = false;
  while (!reader.atEnd()) {
    if (!inTimers) {
      if (!reader.readRecord(ScheduleRecord::kFieldCount, &fields)) break;
      inTimers = TimerMarker::matches(fields[0]);
      continue;
    }
    if (!reader.readRecord(TimerRecord::kFieldCount, &fields)) break;
    visit(TimerRecord::fromFields(fields));
  }
  if (!reader.errorString().isEmpty()) return Status::failure(reader.errorString());
  return Status::success();
}
