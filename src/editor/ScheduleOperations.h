#pragma once

#include <QString>

#include "editor/EditorInput.h"

// The schedule half's buttons (追加, 削除, 更新). Each rewrites the data file at dataFile
// through the store and returns what the window shows and does next; on EditorOutcome::Done
// the window reloads its views (add: ShowDateHeading, ShowDayHoliday, LoadDaySchedules,
// RefreshMonthView; delete and update: ShowDayHoliday, LoadDaySchedules, RefreshMonthView)
// and closes the editor.

// Validation of an add: slot 0 the date, slot 1 the subject, slot 2 the content's characters.
struct ScheduleCheck {
  std::array<QString, 4> InputErrors;
  bool valid = true;
  std::optional<QDate> date;  // set when valid
};
ScheduleCheck checkScheduleInput(const ScheduleInput& input);

// The box that lists an add's problems, one slot per line (slots 0-2).
EditorMessage scheduleInputMessage(const std::array<QString, 4>& InputErrors);

// Adds the entry after the stored entries of its date and before the first older one; on
// success the selected year and month move to the entry's.
EditorResult addSchedule(const QString& dataFile, const ScheduleInput& input);

// Removes the first entry whose date, subject and content are the editor's as they stand now
// and whose flags are those the entry had when it was opened (snapshot elements 13 and 14).
EditorResult deleteSchedule(const QString& dataFile, const ScheduleInput& input,
                            const EditorSnapshot& snapshot);

// Rewrites in its place the first entry that matches the snapshot (date of elements 1-3,
// subject 10, content 11, flags 13 and 14) with the editor's current values.
EditorResult updateSchedule(const QString& dataFile, const ScheduleInput& input,
                            const EditorSnapshot& snapshot);
