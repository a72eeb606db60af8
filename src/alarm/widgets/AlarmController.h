#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "alarm/MinuteTracker.h"
#include "ui/AppContext.h"
#include "ui/MainViews.h"

class AlarmPopup;
struct FiredTimer;

// The clock behind the main window's Timer1: every tick rewrites the clock text, and the first
// tick of each new minute fires the timers due since the last check, each in its own pop-up
// (Form4). The pop-up is one window for the whole run; a new alarm replaces the old one.
class AlarmController : public QObject {
  Q_OBJECT

 public:
  using ClockTextSetter = std::function<void(const QString&)>;

  AlarmController(AppContext& context, MainViews& views, ClockTextSetter setClockText,
                  QObject* parent = nullptr);
  ~AlarmController() override;

  // One tick of the once-a-second timer. A failure is reported in one warning box, and no
  // second box opens while that one is up (the ticks go on inside it); an alarm that goes off
  // meanwhile refills the pop-up on the screen, or, when there is none, shows once the box is
  // closed, so that no topmost window hides the box.
  void tick();

  // The pop-up, or null before the first alarm.
  AlarmPopup* popup() const { return popup_.get(); }

 private:
  // Shows one fired timer; false when its picture could not be loaded (it is shown without).
  bool fire(const FiredTimer& timer, const QDateTime& now);
  void showPopup();
  void warnOfTrouble();

  AppContext& context_;
  MainViews& views_;
  ClockTextSetter setClockText_;
  MinuteTracker tracker_;
  std::unique_ptr<AlarmPopup> popup_;
  bool warningOpen_ = false;
  bool showAfterWarning_ = false;  // an alarm went off while the warning box was up
};
