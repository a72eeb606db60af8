// libFuzzer target: the editor's number and date checks (src/editor/EditorInput,
// src/shared/Numeric) on any text. The input is split at NUL bytes into up to three UTF-8
// texts. Nothing crashes, and the checks agree with each other: a whole integer is a whole
// number of the same value, a date the boxes spell is a real date of years 1 to 9999 whose
// "yyyy/mm/dd" text is what the entry is written with.
#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "editor/EditorInput.h"
#include "editor/ScheduleOperations.h"
#include "editor/TimerOperations.h"
#include "shared/Numeric.h"

using namespace editorinput;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QList<QByteArray> parts = input.split('\0');
  const QString year = QString::fromUtf8(parts.value(0));
  const QString month = QString::fromUtf8(parts.value(1));
  const QString day = QString::fromUtf8(parts.value(2));

  const double value = numericValue(year);
  if (std::isnan(value)) std::abort();
  const long long integer = integerValue(year);
  if (integer > 1000000000000000LL || integer < -1000000000000000LL) std::abort();
  const std::optional<long long> whole = wholeInteger(year);
  if (whole && !isWholeNumber(year)) std::abort();
  (void)twoDigits(whole.value_or(0));

  const std::optional<QDate> date = dateOf(year, month, day);
  if (date) {
    if (!date->isValid() || date->year() < 1 || date->year() > 9999) std::abort();
    if (entryDateText(year, month, day) != date->toString(QStringLiteral("yyyy/MM/dd"))) {
      std::abort();
    }
  }

  ScheduleInput schedule;
  schedule.yearText = year;
  schedule.monthText = month;
  schedule.dayText = day;
  schedule.subject = QString::fromUtf8(parts.value(3));
  const ScheduleCheck check = checkScheduleInput(schedule);
  if (check.valid != check.date.has_value()) std::abort();
  if (check.valid && !date) std::abort();

  TimerInput timer;
  timer.title = schedule.subject;
  timer.kindIndex = static_cast<int>(size % 4) - 1;
  timer.yearText = year;
  timer.monthText = month;
  timer.dayText = day;
  timer.hourText = month;
  timer.minuteText = day;
  timer.weekdayText = year;
  const TimerCheck timerCheck = checkTimerInput(timer, QDateTime(QDate(2024, 5, 1), QTime(12, 0)));
  if (timerCheck.valid) (void)timerRecordFrom(timer);
  return 0;
}
