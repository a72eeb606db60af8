#pragma once

#include <QStringList>

#include "ui/MainViews.h"

// The main window's views as a log of the calls made to them, in order.
class FakeViews : public MainViews {
 public:
  FakeViews() : log_(&calls) {}
  // Logs into a list the test shares with other fakes.
  explicit FakeViews(QStringList& log) : log_(&log) {}

  QStringList calls;
  QRect geometry{100, 50, 600, 700};

  void ShowDateHeading() override { *log_ << "ShowDateHeading"; }
  void ShowDayHoliday() override { *log_ << "ShowDayHoliday"; }
  void LoadDaySchedules() override { *log_ << "LoadDaySchedules"; }
  void RefreshMonthView() override { *log_ << "RefreshMonthView"; }
  void LoadTimerList() override { *log_ << "LoadTimerList"; }
  void finishRefresh() override { *log_ << "finishRefresh"; }
  QRect mainWindowGeometry() const override { return geometry; }

 private:
  QStringList* log_;
};
