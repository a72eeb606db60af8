#pragma once

#include <QDateTime>
#include <QString>

#include "editor/EditorInput.h"

// The timer half's buttons (追加, 削除, 更新). Each rewrites the data file at dataFile through
// the store and returns what the window shows and does next; on EditorOutcome::Done the window
// reloads (add: LoadTimerList; delete: FillEditorCombos, LoadTimerList; update:
// ShowDayHoliday, LoadDaySchedules, RefreshMonthView, LoadTimerList) and closes the editor.

// Validation of an add: slot 0 the title, 1 the date or weekday, 2 the time, 3 the picture.
// A missing picture fills slot 3 but leaves the input valid.
struct TimerCheck {
  std::array<QString, 4> InputErrors;
  bool valid = true;
};
TimerCheck checkTimerInput(const TimerInput& input, const QDateTime& now);

// The box that lists an add's problems, one slot per line (slots 0-3).
EditorMessage timerInputMessage(const std::array<QString, 4>& InputErrors);

// The record the editor describes, as add and update write it. The numbers must have passed
// the checks of the operation.
TimerRecord timerRecordFrom(const TimerInput& input);

// Appends the timer after every stored one. now gives the current year for the date rules.
EditorResult addTimer(const QString& dataFile, const TimerInput& input, const QDateTime& now);

// Removes every timer of the editor's kind whose title is the editor's and whose date or
// weekday and time, as that kind has them, are the editor's texts.
EditorResult deleteTimer(const QString& dataFile, const TimerInput& input);

// Replaces in its place the first timer with the editor's title whose fields, compared by the
// stored kind, are those of the snapshot (elements 4-6 date, 7 weekday, 8-9 time); a replace
// sets TimerImageFile to snapshot element 16.
EditorResult updateTimer(const QString& dataFile, const TimerInput& input,
                         const EditorSnapshot& snapshot);
