#include "store/Record.h"

#include "shared/Numeric.h"
#include "store/Cp932.h"

Field Field::text(const QString& text) {
  return Field{encodeCp932(text).value_or(QByteArray()), true};
}

QString Field::toText() const { return decodeCp932(raw); }

bool Field::isSet() const {
  const QString value = QString::fromLatin1(raw);
  return isWholeNumber(value) && numericValue(value) == 1.0;
}

QList<Field> TimerMarker::fields() {
  return {Field::fromBytes(kTimerMarkerText), Field::fromBytes({}), Field::fromBytes({}),
          Field::number(0), Field::number(0)};
}

ScheduleRecord ScheduleRecord::fromFields(const QList<Field>& f) {
  return ScheduleRecord{f.value(0), f.value(1), f.value(2), f.value(3), f.value(4)};
}

QList<Field> ScheduleRecord::fields() const {
  return {EntryDate, Subject, Content, DoneFlag, DeleteFlag};
}

TimerRecord TimerRecord::fromFields(const QList<Field>& f) {
  return TimerRecord{f.value(0), f.value(1), f.value(2), f.value(3),
                     f.value(4), f.value(5), f.value(6), f.value(7)};
}

QList<Field> TimerRecord::fields() const {
  return {TimerTitle, TimerKind, TimerYearOrWeekday, TimerMonth,
          TimerDay,   TimerHour, TimerMinute,        TimerPicture};
}

QByteArray encodeLine(const QList<Field>& fields) {
  QByteArray line;
  qsizetype size = 2;
  for (const Field& field : fields) size += field.raw.size() + 3;
  line.reserve(size);
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    const Field& field = fields[i];
    if (field.quoted) {
      line += '"';
      line += field.raw;
      line += '"';
    } else {
      line += field.raw;
    }
  }
  line += "\r\n";
  return line;
}
