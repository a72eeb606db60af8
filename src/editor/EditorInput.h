#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>

#include "shared/Platform.h"
#include "shared/SharedState.h"
#include "store/Rewrite.h"
#include "store/Status.h"
#include "store/TimerView.h"

// The record editor (Form5) as its operations see it: the texts of its fields, and what an
// operation tells the window to do afterwards. The window copies its controls into these
// structs, calls an operation and shows what comes back; it decides nothing itself.

// The schedule half: Combo1-Combo3, Text1, Text2, Check1, Check2.
struct ScheduleInput {
  QString yearText;
  QString monthText;
  QString dayText;
  QString subject;
  QString content;
  bool done = false;        // 終了
  bool deleteNext = false;  // 次回から削除します
};

// The timer half: Text3, the selected Option1 button, Combo4-Combo9 and TimerImageFile.
struct TimerInput {
  QString title;
  int kindIndex = -1;  // 0 一回だけ, 1 毎週, 2 毎日; -1 when no button is selected
  QString yearText;
  QString monthText;
  QString dayText;
  QString weekdayText;
  QString hourText;
  QString minuteText;
  QString picture;

  // No button selected counts as once-only.
  int kind() const { return kindIndex >= 0 && kindIndex <= 2 ? kindIndex : 0; }
  AlarmKind alarmKind() const { return static_cast<AlarmKind>(kind()); }
};

// The same shape as SharedState::EditorSnapshot, indexed by EditorSnapshotElement.
using EditorSnapshot = decltype(SharedState::EditorSnapshot);

// The snapshot PrepareEditor keeps when a listed record has been copied into the editor:
// elements 1-14 take the fields, 15 the selected kind (kept from before when no kind button
// is selected); 0 and 16 are never written.
EditorSnapshot prepareEditorSnapshot(const EditorSnapshot& previous, const ScheduleInput& schedule,
                                     const TimerInput& timer);

// Which typed characters a field lets through.
enum class TypedKeys {
  Any,                // every character
  Digits,             // "0"-"9" and Backspace
  DigitsNoBackspace,  // "0"-"9" only
};

// The editor's keyboard filter for one typed character: code is the character (8 Backspace,
// 13 Enter), currentLength the whole text of the field, limit 0 for none. Returns the code
// that goes on, 0 when the key is dropped; Enter always comes back as 0 (the field moves the
// focus instead).
int filterTypedKey(int code, qsizetype currentLength, int limit, TypedKeys keys);

// A message box the window shows with an OK button.
struct EditorMessage {
  QString text;
  QString title;
  MessageIcon icon = MessageIcon::None;
};

enum class EditorOutcome {
  Done,          // the file was rewritten (or found already right): reload the views, close
  InputRefused,  // nothing written; keep the editor open with its input
  FileFailed,    // the data file could not be read or replaced and is as it was; keep the
                 // editor open with its input
};

struct EditorResult {
  EditorOutcome outcome = EditorOutcome::Done;
  // The data file operation; a failure carries the store's message.
  Status status = Status::success();
  // The file's contents changed (false when a delete or update matched nothing).
  bool fileChanged = false;
  // A delete or update found its record.
  bool matched = false;

  // To show when present, whatever the outcome.
  std::optional<EditorMessage> message;

  // The adds' validation slots, for SharedState::InputErrors; not set by delete and update.
  std::optional<std::array<QString, 4>> InputErrors;
  // A successful schedule add moves the selected year and month to the new entry's.
  std::optional<int> SelYear;
  std::optional<int> SelMonth;
  // A timer update that replaced its record sets TimerImageFile to this value.
  std::optional<QString> TimerImageFile;

  bool closesEditor() const { return outcome == EditorOutcome::Done; }
};

// The texts of the editor's messages.
namespace editortext {
inline const QString kInputErrorTitle = QStringLiteral("入力がおかしいです。");
inline const QString kDateWrong = QStringLiteral("日付けおかしいです。");
inline const QString kTitleMissing = QStringLiteral("題名を入力して下さい。");
inline const QString kTitleTooLong = QStringLiteral("題名は２０文字までです。");
inline const QString kWeekdayWrong = QStringLiteral("曜日がおかしいです。");
inline const QString kTimeWrong = QStringLiteral("時間の設定がおかしいです。");
inline const QString kPictureMissing = QStringLiteral("画像の指定が変です。");
inline const QString kNoMatchingEntry = QStringLiteral("該当する予定がありません");
}  // namespace editortext

// Helpers shared by the schedule and the timer operations.
namespace editorinput {

// The value of a text that is an integer as a whole (blanks around it allowed); nothing for an
// empty text, other characters or a fraction. Kept within +-10^15.
std::optional<long long> wholeInteger(QStringView text);

// The date the three boxes spell, the year taken as written ("24" is the year 24); nothing
// unless all three are whole numbers forming a date of years 1 to 9999.
std::optional<QDate> dateOf(QStringView year, QStringView month, QStringView day);

// The date text written into EntryDate: "yyyy/mm/dd" of the date the boxes spell, or, when
// they spell none, the boxes' texts joined with "/" (which then matches no stored record).
QString entryDateText(QStringView year, QStringView month, QStringView day);

// A refusal naming the field when the text holds something the data file cannot carry: a
// double quote or a line break (they would break the record apart when it is read back) or a
// character with no Shift-JIS form.
std::optional<QString> unusableTextMessage(const QString& fieldName, const QString& text);

// The text with every line break (CR LF, CR or LF) as one LF, the way a text box holds it: a
// stored text and the editor's copy of it compare equal whatever line breaks the file used.
QString normalisedLineBreaks(QString text);

// At least two digits, as the "00" number format writes them ("3" -> "03", -5 -> "-05").
QString twoDigits(long long value);

// The message shown when the data file could not be read or replaced.
EditorMessage fileFailureMessage(const QString& action, const Status& status);

// An input that cannot be stored: the problems, one per line, in a warning box.
EditorResult refusedInput(const QStringList& problems);

// Fills in what a finished rewrite means for the window; action names the operation in the
// failure message ("予定を追加").
void finishRewrite(EditorResult& result, const RewriteResult& rewrite, const QString& action);

}  // namespace editorinput
