#pragma once
// What a timer record means. Its eight fields are texts, and not every reader reads them alike:
// each reading below is named by the rule it follows, so that a difference stays deliberate.
//   - The kind is compared as text ("0", "1", "2" exactly) everywhere but in the tidy-up at
//     opening, which converts it to a number (so " 0" and "00" are once-only there).
//   - The clock matches only what it writes itself: exactly two ASCII digits for hour, minute,
//     month and day, four for the year; a one-digit "7" never matches "07".
//   - The timer list shows a time of one or two digits as "hh:nn", anything else as typed.
//   - The export reads whole numbers, blanks around them allowed.
//   - The tidy-up and the list of missed timers read every part by its numeric value.
// The kind's texts are written and compared nowhere else.

#include <QByteArrayView>
#include <QDate>
#include <QTime>
#include <optional>

#include "store/Record.h"

enum class AlarmKind { Once, Weekly, Daily };

// The parts of a once-only timer's moment, each the numeric value of its field.
struct TimerMomentValues {
  long long year = 0;
  long long month = 0;
  long long day = 0;
  long long hour = 0;
  long long minute = 0;
};

class TimerView {
 public:
  explicit TimerView(TimerRecord record) : record_(std::move(record)) {}

  // The kind compared as text: exactly "0" once, "1" weekly, "2" daily. Any other text is no
  // kind: such a timer never fires, is listed by its title and picture only, is not exported.
  std::optional<AlarmKind> kindByText() const { return kindByText(record_.TimerKind.raw); }
  static std::optional<AlarmKind> kindByText(QByteArrayView raw);

  // The kind converted to a number, as the tidy-up reads it: once-only when the field spells
  // the number 0 ("0", " 0", "00", "0.0"). Other numbers, and texts that are no number, are
  // never once-only.
  static bool kindIsZeroByNumber(QByteArrayView raw);

  // The kind as the program writes it.
  static Field kindField(AlarmKind kind);

  // As the clock writes them: hour and minute of exactly two ASCII digits ("07", never "7" or
  // "０７"); a once-only date of exactly "yyyy", "mm" and "dd" naming a real day.
  std::optional<QTime> clockTime() const;
  std::optional<QDate> clockDate() const;

  // The weekday of a weekly timer: exactly one of the seven weekday kanji. Sunday 0 ... 6.
  std::optional<int> weekday() const;

  // As the timer list shows them: hour and minute of one or two ASCII digits each; the date
  // "year/month/day" as a date text is read (parseDateText).
  std::optional<QTime> listTime() const;
  std::optional<QDate> listDate() const;

  // As the export reads them: whole numbers, blanks around them allowed.
  std::optional<QTime> exportTime() const;
  std::optional<QDate> exportDate() const;

  // As the tidy-up reads a once-only timer's moment: the numeric value of every part.
  TimerMomentValues momentValues() const;

  const TimerRecord& record() const { return record_; }

 private:
  TimerRecord record_;
};
