#include "editor/EditorInput.h"

#include <cmath>

#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "store/Cp932.h"

namespace {

// Combo1-Combo3, Check1, Check2, Text1 and Text2.
void keepScheduleHalf(EditorSnapshot& snapshot, const ScheduleInput& schedule) {
  snapshot[SnapshotScheduleYear] = schedule.yearText;
  snapshot[SnapshotScheduleMonth] = schedule.monthText;
  snapshot[SnapshotScheduleDay] = schedule.dayText;
  snapshot[SnapshotDone] = schedule.done ? QStringLiteral("1") : QStringLiteral("0");
  snapshot[SnapshotDeleteNext] = schedule.deleteNext ? QStringLiteral("1") : QStringLiteral("0");
  snapshot[SnapshotSubject] = schedule.subject;
  snapshot[SnapshotContent] = schedule.content;
}

// Text3, Combo4-Combo9 and the selected Option1 button, kept from before when none is.
void keepTimerHalf(EditorSnapshot& snapshot, const TimerInput& timer) {
  snapshot[SnapshotTimerTitle] = timer.title;
  snapshot[SnapshotTimerYear] = timer.yearText;
  snapshot[SnapshotTimerMonth] = timer.monthText;
  snapshot[SnapshotTimerDay] = timer.dayText;
  snapshot[SnapshotTimerWeekday] = timer.weekdayText;
  snapshot[SnapshotTimerHour] = timer.hourText;
  snapshot[SnapshotTimerMinute] = timer.minuteText;
  if (timer.kindIndex >= 0 && timer.kindIndex <= 2) {
    snapshot[SnapshotTimerKind] = TimerView::kindField(timer.alarmKind()).toText();
  }
}

}  // namespace

EditorSnapshot prepareEditorSnapshot(const EditorSnapshot& previous, const ScheduleInput& schedule,
                                     const TimerInput& timer) {
  EditorSnapshot snapshot = previous;
  keepScheduleHalf(snapshot, schedule);
  keepTimerHalf(snapshot, timer);
  return snapshot;
}

namespace editorinput {

std::optional<long long> wholeInteger(QStringView text) {
  if (!isWholeNumber(text)) return std::nullopt;
  const double value = numericValue(text);
  if (value != std::trunc(value)) return std::nullopt;
  return integerValue(text);
}

std::optional<QDate> dateOf(QStringView year, QStringView month, QStringView day) {
  const auto y = wholeInteger(year);
  const auto m = wholeInteger(month);
  const auto d = wholeInteger(day);
  if (!y || !m || !d) return std::nullopt;
  if (*y < 1 || *y > 9999 || *m < 1 || *m > 12 || *d < 1) return std::nullopt;
  if (*d > daysInMonth(static_cast<int>(*y), static_cast<int>(*m))) return std::nullopt;
  return QDate(static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d));
}

QString entryDateText(QStringView year, QStringView month, QStringView day) {
  if (const auto date = dateOf(year, month, day)) return formatDate(*date, u"yyyy/mm/dd");
  return year.toString() + u'/' + month.toString() + u'/' + day.toString();
}

std::optional<QString> unusableTextMessage(const QString& fieldName, const QString& text) {
  QString shown;
  for (QChar c : text) {
    if (c == u'"') {
      shown = QStringLiteral("二重引用符（\"）");
      break;
    }
    if (c == u'\r' || c == u'\n') {
      shown = QStringLiteral("改行");
      break;
    }
  }
  if (shown.isEmpty()) {
    const std::optional<QString> character = firstUnencodableCharacter(text);
    if (!character) return std::nullopt;
    shown = u'"' + *character + u'"';
  }
  return QStringLiteral("「%1」に使えない文字があります: %2").arg(fieldName, shown);
}

QString twoDigits(long long value) {
  const QString digits =
      QStringLiteral("%1").arg(value < 0 ? -value : value, 2, 10, QLatin1Char('0'));
  return value < 0 ? u'-' + digits : digits;
}

EditorMessage fileFailureMessage(const QString& action, const Status& status) {
  return {QStringLiteral("%1できませんでした。入力はそのまま残っています。\n%2")
              .arg(action, status.message()),
          kAppTitle, MessageIcon::Warning};
}

EditorResult refusedInput(const QStringList& problems) {
  EditorResult result;
  result.outcome = EditorOutcome::InputRefused;
  result.message = EditorMessage{problems.join(QStringLiteral("\r\n")),
                                 editortext::kInputErrorTitle, MessageIcon::Warning};
  return result;
}

QString normalisedLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

void finishRewrite(EditorResult& result, const RewriteResult& rewrite, const QString& action) {
  result.status = rewrite.status;
  if (!rewrite.status) {
    // Nothing was written, so nothing was removed or replaced either.
    result.outcome = EditorOutcome::FileFailed;
    result.matched = false;
    result.message = fileFailureMessage(action, rewrite.status);
    return;
  }
  result.outcome = EditorOutcome::Done;
  result.fileChanged = rewrite.changed;
}

}  // namespace editorinput

int filterTypedKey(int code, qsizetype currentLength, int limit, TypedKeys keys) {
  const auto isDigit = [](int c) { return c >= '0' && c <= '9'; };
  if (code == 13) return 0;
  switch (keys) {
    case TypedKeys::Any:
      return code;
    case TypedKeys::DigitsNoBackspace:
      return isDigit(code) ? code : 0;
    case TypedKeys::Digits:
      if (code == 8) return code;
      // The whole text counts, selected or not: a full field takes only Backspace.
      if (limit > 0 && currentLength >= limit) return 0;
      return isDigit(code) ? code : 0;
  }
  return 0;
}
