#include "editor/ScheduleOperations.h"

#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "store/Rewrite.h"

using namespace editorinput;

namespace {

const QString kSubjectName = QStringLiteral("件名");
const QString kContentName = QStringLiteral("内容");

// The ordering key of a stored entry: the year from the first four characters of its date,
// the day of the year from the whole date. A date that cannot be read (the program never
// writes one) keeps its year and sorts as day 0 of it.
long long storedDateKey(const Field& entryDate) {
  // Dates as the program writes them, the usual case, are read without decoding.
  if (const std::optional<int> key = canonicalDateKey(entryDate.raw)) return *key;
  const QString text = entryDate.toText();
  const std::optional<QDate> date = parseDateText(text);
  return integerValue(QStringView(text).left(4)) * 1000 + (date ? date->dayOfYear() : 0);
}

ScheduleRecord recordFrom(const QDate& date, const ScheduleInput& input) {
  return ScheduleRecord{Field::text(formatDate(date, u"yyyy/mm/dd")), Field::text(input.subject),
                        Field::text(input.content), Field::number(input.done ? 1 : 0),
                        Field::number(input.deleteNext ? 1 : 0)};
}

// Flags compare by value, so a stored 1 equals the snapshot's "1" whether it was quoted or not.
bool flagsMatch(const ScheduleRecord& record, const EditorSnapshot& snapshot) {
  return record.DoneFlag.isSet() == (snapshot[SnapshotDone] == u"1") &&
         record.DeleteFlag.isSet() == (snapshot[SnapshotDeleteNext] == u"1");
}

// Files written elsewhere may hold a line break inside a text; the editor's boxes hold it as LF.
bool sameText(const QString& stored, const QString& edited) {
  return stored == edited || normalisedLineBreaks(stored) == normalisedLineBreaks(edited);
}

// Plain ASCII without line breaks: such a field reads as its bytes, and most records differ
// from the one looked for already there, without being decoded.
bool isPlain(const QByteArray& raw) {
  for (const char c : raw) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n') return false;
  }
  return true;
}

bool sameStoredText(const Field& stored, const QString& edited) {
  if (isPlain(stored.raw)) return QLatin1StringView(stored.raw) == edited;
  return sameText(stored.toText(), edited);
}

bool textsMatch(const ScheduleRecord& record, const QString& date, const QString& subject,
                const QString& content) {
  const bool sameDate = isPlain(record.EntryDate.raw)
                            ? QLatin1StringView(record.EntryDate.raw) == date
                            : record.EntryDate.toText() == date;
  return sameDate && sameStoredText(record.Subject, subject) &&
         sameStoredText(record.Content, content);
}

// A text the user left as it was is written back as it was stored, line breaks included.
void keepUnchangedText(Field& replacement, const Field& stored, const QString& edited) {
  if (stored.toText() != edited && sameText(stored.toText(), edited)) replacement = stored;
}

// A delete or update that found nothing says so and keeps the editor open with its input.
void reportNoMatch(EditorResult& result) {
  if (result.outcome != EditorOutcome::Done || result.matched) return;
  result.outcome = EditorOutcome::InputRefused;
  result.message = EditorMessage{editortext::kNoMatchingEntry, kAppTitle, MessageIcon::Warning};
}

}  // namespace

ScheduleCheck checkScheduleInput(const ScheduleInput& input) {
  ScheduleCheck check;
  auto fail = [&check](int slot, const QString& message) {
    check.InputErrors[static_cast<size_t>(slot)] = message;
    check.valid = false;
  };
  // Range and days of the month in one: dateOf refuses exactly what the date rules refuse,
  // texts that are not whole numbers included.
  check.date = dateOf(input.yearText, input.monthText, input.dayText);
  if (!check.date) fail(0, editortext::kDateWrong);
  if (input.subject.isEmpty()) {
    fail(1, editortext::kTitleMissing);
  } else if (const auto problem = unusableTextMessage(kSubjectName, input.subject)) {
    fail(1, *problem);
  }
  if (const auto problem = unusableTextMessage(kContentName, input.content)) fail(2, *problem);
  if (!check.valid) check.date.reset();
  return check;
}

EditorMessage scheduleInputMessage(const std::array<QString, 4>& InputErrors) {
  return {InputErrors[0] + QStringLiteral("\r\n") + InputErrors[1] + QStringLiteral("\r\n") +
              InputErrors[2],
          editortext::kInputErrorTitle, MessageIcon::Warning};
}

EditorResult addSchedule(const QString& dataFile, const ScheduleInput& input) {
  const ScheduleCheck check = checkScheduleInput(input);
  EditorResult result;
  result.InputErrors = check.InputErrors;
  if (!check.valid) {
    result.outcome = EditorOutcome::InputRefused;
    result.message = scheduleInputMessage(check.InputErrors);
    return result;
  }

  const QDate date = *check.date;
  const ScheduleRecord added = recordFrom(date, input);
  const long long key = static_cast<long long>(dateKey(date));
  bool written = false;
  RewriteSteps steps;
  // After the entries of its own date, before the first older one.
  steps.schedule = [&](const ScheduleRecord& record, RecordSink& sink) {
    if (storedDateKey(record.EntryDate) < key) {
      sink.write(added);
      written = true;
      sink.write(record);
      sink.copyRest();  // the rest is copied as it stands
      return;
    }
    sink.write(record);
  };
  steps.afterSchedule = [&](RecordSink& sink) {
    if (!written) sink.write(added);
  };
  finishRewrite(result, rewriteDataFile(dataFile, steps), QStringLiteral("予定を追加"));
  if (result.outcome == EditorOutcome::Done) {
    result.SelYear = date.year();
    result.SelMonth = date.month();
  }
  return result;
}

EditorResult deleteSchedule(const QString& dataFile, const ScheduleInput& input,
                            const EditorSnapshot& snapshot) {
  const QString date = entryDateText(input.yearText, input.monthText, input.dayText);
  EditorResult result;
  RewriteSteps steps;
  steps.schedule = [&](const ScheduleRecord& record, RecordSink& sink) {
    if (textsMatch(record, date, input.subject, input.content) && flagsMatch(record, snapshot)) {
      result.matched = true;
      sink.copyRest();
      return;
    }
    sink.write(record);
  };
  finishRewrite(result, rewriteDataFile(dataFile, steps), QStringLiteral("予定を削除"));
  reportNoMatch(result);
  return result;
}

EditorResult updateSchedule(const QString& dataFile, const ScheduleInput& input,
                            const EditorSnapshot& snapshot) {
  // Nothing is validated here, but what is written must be a date the file can hold and
  // texts it can carry.
  QStringList problems;
  const std::optional<QDate> newDate = dateOf(input.yearText, input.monthText, input.dayText);
  if (!newDate) problems << editortext::kDateWrong;
  // A text left as it was is copied as stored, so a line break it came with is no problem.
  const auto checkText = [&](const QString& name, const QString& text, const QString& before) {
    if (sameText(before, text)) return;
    if (const auto problem = unusableTextMessage(name, text)) problems << *problem;
  };
  checkText(kSubjectName, input.subject, snapshot[SnapshotSubject]);
  checkText(kContentName, input.content, snapshot[SnapshotContent]);
  if (!problems.isEmpty()) return refusedInput(problems);

  const QString oldDate =
      entryDateText(snapshot[SnapshotScheduleYear], snapshot[SnapshotScheduleMonth],
                    snapshot[SnapshotScheduleDay]);
  EditorResult result;
  RewriteSteps steps;
  steps.schedule = [&](const ScheduleRecord& record, RecordSink& sink) {
    if (textsMatch(record, oldDate, snapshot[SnapshotSubject], snapshot[SnapshotContent]) &&
        flagsMatch(record, snapshot)) {
      result.matched = true;
      ScheduleRecord replacement = recordFrom(*newDate, input);
      keepUnchangedText(replacement.Subject, record.Subject, input.subject);
      keepUnchangedText(replacement.Content, record.Content, input.content);
      sink.write(replacement);
      sink.copyRest();
      return;
    }
    sink.write(record);
  };
  finishRewrite(result, rewriteDataFile(dataFile, steps), QStringLiteral("予定を更新"));
  reportNoMatch(result);
  return result;
}
