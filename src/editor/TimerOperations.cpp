#include "editor/TimerOperations.h"

#include "shared/DateFormat.h"
#include "store/Rewrite.h"
#include "store/TimerView.h"

using namespace editorinput;

namespace {

const QString kTitleName = QStringLiteral("題名");
const QString kPictureName = QStringLiteral("画像");
const QStringList kWeekdays = {QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
                               QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土"),
                               QStringLiteral("日")};
constexpr int kTitleLimit = 20;

bool allPresent(std::initializer_list<std::optional<long long>> values) {
  for (const auto& value : values) {
    if (!value) return false;
  }
  return true;
}

// The fields a kind keeps, compared as texts; no kind matches nothing.
bool fieldsMatch(const TimerRecord& record, std::optional<AlarmKind> kind, const QString& year,
                 const QString& month, const QString& day, const QString& weekday,
                 const QString& hour, const QString& minute) {
  if (!kind) return false;
  const bool timeMatches =
      record.TimerHour.toText() == hour && record.TimerMinute.toText() == minute;
  switch (*kind) {
    case AlarmKind::Once:
      return timeMatches && record.TimerYearOrWeekday.toText() == year &&
             record.TimerMonth.toText() == month && record.TimerDay.toText() == day;
    case AlarmKind::Weekly:
      return timeMatches && record.TimerYearOrWeekday.toText() == weekday;
    case AlarmKind::Daily:
      break;
  }
  return timeMatches;
}

// What keeps a record from being written faithfully: a number that is none, a weekday that is
// none of the seven, or text the file cannot carry. Each problem goes into its line's slot.
void checkStorable(const TimerInput& input, std::array<QString, 4>& lines) {
  if (const auto problem = unusableTextMessage(kTitleName, input.title)) {
    if (lines[0].isEmpty()) lines[0] = *problem;
  }
  if (input.alarmKind() == AlarmKind::Once &&
      !allPresent({wholeInteger(input.yearText), wholeInteger(input.monthText),
                   wholeInteger(input.dayText)})) {
    lines[1] = editortext::kDateWrong;
  }
  if (input.alarmKind() == AlarmKind::Weekly && !input.weekdayText.isEmpty() &&
      !kWeekdays.contains(input.weekdayText)) {
    lines[1] = editortext::kWeekdayWrong;
  }
  if (!allPresent({wholeInteger(input.hourText), wholeInteger(input.minuteText)})) {
    lines[2] = editortext::kTimeWrong;
  }
  if (const auto problem = unusableTextMessage(kPictureName, input.picture)) lines[3] = *problem;
}

}  // namespace

TimerCheck checkTimerInput(const TimerInput& input, const QDateTime& now) {
  TimerCheck check;
  auto& lines = check.InputErrors;
  switch (input.alarmKind()) {
    case AlarmKind::Once: {
      const auto y = wholeInteger(input.yearText);
      const auto m = wholeInteger(input.monthText);
      const auto d = wholeInteger(input.dayText);
      // A date earlier in the current year is fine; an earlier year is not.
      if (y && m && d && *y <= 9999 && *y >= now.date().year() && *m >= 1 && *m <= 12 && *d >= 1 &&
          *d <= daysInMonth(static_cast<int>(*y), static_cast<int>(*m))) {
        break;
      }
      lines[1] = editortext::kDateWrong;
      break;
    }
    case AlarmKind::Weekly:
      if (!kWeekdays.contains(input.weekdayText)) lines[1] = editortext::kWeekdayWrong;
      break;
    case AlarmKind::Daily:
      break;
  }

  if (input.title.toUcs4().size() > kTitleLimit) lines[0] = editortext::kTitleTooLong;
  if (input.title.isEmpty()) lines[0] = editortext::kTitleMissing;

  const auto h = wholeInteger(input.hourText);
  const auto n = wholeInteger(input.minuteText);
  if (h && n && (*h > 23 || *n > 59 || *h < 0 || *n < 0)) lines[2] = editortext::kTimeWrong;

  checkStorable(input, lines);
  check.valid =
      lines[0].isEmpty() && lines[1].isEmpty() && lines[2].isEmpty() && lines[3].isEmpty();
  // No picture is only a remark: it shows when the box shows for another reason.
  if (input.picture.isEmpty()) lines[3] = editortext::kPictureMissing;
  return check;
}

EditorMessage timerInputMessage(const std::array<QString, 4>& InputErrors) {
  const QString lineBreak = QStringLiteral("\r\n");
  return {InputErrors[0] + lineBreak + InputErrors[1] + lineBreak + InputErrors[2] + lineBreak +
              InputErrors[3],
          editortext::kInputErrorTitle, MessageIcon::None};
}

TimerRecord timerRecordFrom(const TimerInput& input) {
  auto number = [](const QString& text) {
    return Field::text(twoDigits(wholeInteger(text).value_or(0)));
  };
  const Field empty = Field::text(QString());
  TimerRecord record{Field::text(input.title),
                     TimerView::kindField(input.alarmKind()),
                     empty,
                     empty,
                     empty,
                     number(input.hourText),
                     number(input.minuteText),
                     Field::text(input.picture)};
  if (input.alarmKind() == AlarmKind::Once) {
    record.TimerYearOrWeekday = number(input.yearText);
    record.TimerMonth = number(input.monthText);
    record.TimerDay = number(input.dayText);
  } else if (input.alarmKind() == AlarmKind::Weekly) {
    record.TimerYearOrWeekday = Field::text(input.weekdayText);
  }
  return record;
}

EditorResult addTimer(const QString& dataFile, const TimerInput& input, const QDateTime& now) {
  const TimerCheck check = checkTimerInput(input, now);
  EditorResult result;
  result.InputErrors = check.InputErrors;
  if (!check.valid) {
    result.outcome = EditorOutcome::InputRefused;
    result.message = timerInputMessage(check.InputErrors);
    return result;
  }
  const TimerRecord added = timerRecordFrom(input);
  RewriteSteps steps;
  steps.afterTimers = [&](RecordSink& sink) { sink.write(added); };
  finishRewrite(result, rewriteDataFile(dataFile, steps), QStringLiteral("タイマーを追加"));
  return result;
}

EditorResult deleteTimer(const QString& dataFile, const TimerInput& input) {
  const AlarmKind kind = input.alarmKind();
  EditorResult result;
  RewriteSteps steps;
  // Only timers of the kind the editor shows are deleted: a daily and a once-only timer may
  // share title and time, and deleting one must not take the other along. With no kind
  // selected (a timer of an unknown kind was opened) the kind is not compared.
  const bool kindKnown = input.kindIndex >= 0;
  steps.timer = [&](const TimerRecord& record, RecordSink& sink) {
    if (record.TimerTitle.toText() == input.title &&
        (!kindKnown || TimerView(record).kindByText() == kind) &&
        fieldsMatch(record, kind, input.yearText, input.monthText, input.dayText, input.weekdayText,
                    input.hourText, input.minuteText)) {
      result.matched = true;
      return;
    }
    sink.write(record);
  };
  finishRewrite(result, rewriteDataFile(dataFile, steps), QStringLiteral("タイマーを削除"));
  return result;
}

EditorResult updateTimer(const QString& dataFile, const TimerInput& input,
                         const EditorSnapshot& snapshot) {
  // The ranges are not checked here, but the record must be one the file can hold as typed.
  std::array<QString, 4> lines;
  checkStorable(input, lines);
  QStringList problems;
  for (const QString& slot : lines) {
    if (!slot.isEmpty()) problems << slot;
  }
  if (!problems.isEmpty()) return refusedInput(problems);

  const TimerRecord replacement = timerRecordFrom(input);
  EditorResult result;
  RewriteSteps steps;
  steps.timer = [&](const TimerRecord& record, RecordSink& sink) {
    if (!result.matched && record.TimerTitle.toText() == input.title &&
        fieldsMatch(record, TimerView(record).kindByText(), snapshot[SnapshotTimerYear],
                    snapshot[SnapshotTimerMonth], snapshot[SnapshotTimerDay],
                    snapshot[SnapshotTimerWeekday], snapshot[SnapshotTimerHour],
                    snapshot[SnapshotTimerMinute])) {
      result.matched = true;
      sink.write(replacement);
      return;
    }
    sink.write(record);
  };
  finishRewrite(result, rewriteDataFile(dataFile, steps), QStringLiteral("タイマーを更新"));
  if (result.matched) result.TimerImageFile = snapshot[SnapshotPictureAfterUpdate];
  return result;
}
