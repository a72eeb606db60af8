#pragma once

#include <QString>
#include <array>

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

  // The editor's values when a listed record was opened; elements 1-16 are used.
  std::array<QString, 17> EditorSnapshot;

  // Validation messages of one add, one per slot, shown together.
  std::array<QString, 4> InputErrors;
};
