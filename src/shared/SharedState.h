#pragma once

#include <QString>
#include <array>
#include <cstddef>

// The elements of SharedState::EditorSnapshot: the editor's fields as they stood when a listed
// record was opened, by which the updates find that record again. Element 0 is not used; 1-3
// are Combo1-Combo3 (the entry's date), 4-9 Combo4-Combo9 (the timer's year, month, day,
// weekday, hour, minute), 10-12 Text1-Text3 (subject, content, timer title), 13 and 14 "1" or
// "0" for Check1 (終了) and Check2 (次回から削除します), 15 the selected Option1 button ("0",
// "1" or "2"), 16 what a timer update leaves in TimerImageFile (nothing writes it).
enum EditorSnapshotElement : std::size_t {
  SnapshotScheduleYear = 1,
  SnapshotScheduleMonth,
  SnapshotScheduleDay,
  SnapshotTimerYear,
  SnapshotTimerMonth,
  SnapshotTimerDay,
  SnapshotTimerWeekday,
  SnapshotTimerHour,
  SnapshotTimerMinute,
  SnapshotSubject,
  SnapshotContent,
  SnapshotTimerTitle,
  SnapshotDone,
  SnapshotDeleteNext,
  SnapshotTimerKind,
  SnapshotPictureAfterUpdate,
  SnapshotElementCount
};
static_assert(SnapshotPictureAfterUpdate == 16);

// The process-wide state that windows and procedures share. main() owns one instance and
// hands out references; tests build their own.
struct SharedState {
  // The date the main window shows.
  int SelYear = 1;
  int SelMonth = 1;
  int SelDay = 1;

  // Elements 1-12: month lengths (element 2 follows the selected year).
  // Element 0: 1 once the start-up window has obtained a data file.
  std::array<int, 13> MonthDays{0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

  QString CurrentDataFile;
  QString PreviousDataFile;

  // Picture of the timer being edited; empty means none.
  QString TimerImageFile;

  // The editor's values when a listed record was opened (EditorSnapshotElement).
  std::array<QString, SnapshotElementCount> EditorSnapshot;

  // Validation messages of one add, one per slot, shown together.
  std::array<QString, 4> InputErrors;
};
