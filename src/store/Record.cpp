#include "store/Record.h"

#include "shared/Numeric.h"
#include "store/Cp932.h"

Field Field::text(const QString& text) {
  return Field{encodeCp932(text).value_or(QByteArray()), true};
}

QString Field::toText() const { return decodeCp932(raw); }

bool Field::isSet() const {
  // The program writes 0 and 1; anything else is read the way a number is.
  if (raw.size() == 1 && (raw[0] == '0' || raw[0] == '1')) return raw[0] == '1';
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

std::optional<int> canonicalDateKey(QByteArrayView raw) {
  if (raw.size() != 10) return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
  if (p[4] != '/' || p[7] != '/') return std::nullopt;
  // All eight digits checked at once, without a branch per byte: a byte below '0' wraps round.
  const unsigned d[8] = {p[0] - 48u, p[1] - 48u, p[2] - 48u, p[3] - 48u,
                         p[5] - 48u, p[6] - 48u, p[8] - 48u, p[9] - 48u};
  if ((d[0] > 9) | (d[1] > 9) | (d[2] > 9) | (d[3] > 9) | (d[4] > 9) | (d[5] > 9) | (d[6] > 9) |
      (d[7] > 9)) {
    return std::nullopt;
  }
  const int year = static_cast<int>(d[0] * 1000 + d[1] * 100 + d[2] * 10 + d[3]);
  const int month = static_cast<int>(d[4] * 10 + d[5]);
  const int day = static_cast<int>(d[6] * 10 + d[7]);
  static constexpr int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  static constexpr int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // There is no year 0 (the calendar the rest of the program uses knows none).
  if (year < 1 || month < 1 || month > 12 || day < 1) return std::nullopt;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int extra = leap && month > 2 ? 1 : 0;
  if (day > kLength[month - 1] + (leap && month == 2 ? 1 : 0)) return std::nullopt;
  return year * 1000 + kDaysBefore[month - 1] + day + extra;
}
