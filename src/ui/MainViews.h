#pragma once

#include <QRect>
#include <initializer_list>

// The main window's view procedures, as the other windows (editor, date dialog, search,
// alarm pop-up) call them after a change. Each reads the shared state and the data file.
class MainViews {
 public:
  virtual ~MainViews() = default;

  virtual void ShowDateHeading() = 0;
  virtual void ShowDayHoliday() = 0;
  virtual void LoadDaySchedules() = 0;
  virtual void RefreshMonthView() = 0;
  virtual void LoadTimerList() = 0;

  // Ends a sequence of the calls above: a data file that could not be read is reported once.
  virtual void finishRefresh() = 0;

  // The main window's frame on the screen, for windows that place themselves relative to it.
  virtual QRect mainWindowGeometry() const = 0;
};

// Runs view procedures in the order given, then reports a failure to read the data file once.
inline void refreshViews(MainViews& views,
                         std::initializer_list<void (MainViews::*)()> procedures) {
  for (auto procedure : procedures) (views.*procedure)();
  views.finishRefresh();
}
