#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// One field of a record as it stands in the file: its bytes (inside the quotes, or the bare
// token without surrounding blanks) and whether it was quoted. A field that is only copied is
// never decoded, so a copied line is byte-identical to its source.
struct Field {
  QByteArray raw;
  bool quoted = true;

  static Field fromBytes(QByteArray bytes, bool quoted = true) {
    return Field{std::move(bytes), quoted};
  }
  // Text the caller has checked to be CP932-encodable (see Cp932.h).
  static Field text(const QString& text);
  static Field number(int value) { return Field{QByteArray::number(value), false}; }

  QString toText() const;
  // Flags are compared by value: a bare 1 and a quoted "1" both mean set.
  bool isSet() const;

  friend bool operator==(const Field&, const Field&) = default;
};

// The line that separates schedule records from timer records: "タイマ","","",0,0
inline const QByteArray kTimerMarkerText = QByteArrayLiteral("\x83\x5E\x83\x43\x83\x7D");

struct TimerMarker {
  static constexpr int kFieldCount = 5;
  static QList<Field> fields();
  static bool matches(const Field& first) { return first.raw == kTimerMarkerText; }
};

struct ScheduleRecord {
  static constexpr int kFieldCount = 5;
  Field EntryDate;   // "yyyy/mm/dd"
  Field Subject;     // 件名
  Field Content;     // 内容
  Field DoneFlag;    // 1 finished (終了), 0 not yet (まだ)
  Field DeleteFlag;  // 1 delete from next time (削除), 0 keep (残る)

  static ScheduleRecord fromFields(const QList<Field>& fields);
  QList<Field> fields() const;
  friend bool operator==(const ScheduleRecord&, const ScheduleRecord&) = default;
};

struct TimerRecord {
  static constexpr int kFieldCount = 8;
  Field TimerTitle;
  Field TimerKind;           // "0" once, "1" weekly, "2" daily
  Field TimerYearOrWeekday;  // year (once), weekday kanji (weekly), "" (daily)
  Field TimerMonth;
  Field TimerDay;
  Field TimerHour;
  Field TimerMinute;
  Field TimerPicture;  // full path, "" for none

  static TimerRecord fromFields(const QList<Field>& fields);
  QList<Field> fields() const;
  friend bool operator==(const TimerRecord&, const TimerRecord&) = default;
};

// The DateKey (year x 1000 + day of the year) of an EntryDate written as the program writes
// it, "yyyy/mm/dd" naming a real date; nothing for any other bytes, which the caller reads the
// slow way. Found from the bytes alone: the scans meet a million of them.
std::optional<int> canonicalDateKey(QByteArrayView raw);

// One line in the file's encoding: fields joined by commas, texts quoted, ended by CR LF.
QByteArray encodeLine(const QList<Field>& fields);
