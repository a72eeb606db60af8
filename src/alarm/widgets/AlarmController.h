#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "alarm/MinuteScan.h"
#include "alarm/MinuteTracker.h"
#include "alarm/RingMemory.h"
#include "editor/EditorInput.h"
#include "store/Record.h"
#include "ui/AppContext.h"
#include "ui/MainViews.h"

class AlarmPopup;

// The clock behind the main window's Timer1: every tick rewrites the clock text, and the first
// tick of each new minute fires the timers due since the last check. A fired timer rings: the
// pop-up (Form4, one window for the whole run; a new alarm replaces the old one), a desktop
// notification of its own, and the alarm sound, repeated until the alarm is dismissed or for
// at most 5 minutes.
class AlarmController : public QObject {
  Q_OBJECT

 public:
  using ClockTextSetter = std::function<void(const QString&)>;
  static constexpr qint64 kSoundMilliseconds = 5 * 60 * 1000;

  AlarmController(AppContext& context, MainViews& views, ClockTextSetter setClockText,
                  QObject* parent = nullptr);
  ~AlarmController() override;

  // One tick of the once-a-second timer. A failure is reported in one warning box, and no
  // second box opens while that one is up (the ticks go on inside it); an alarm that goes off
  // meanwhile refills the pop-up on the screen, or, when there is none, shows once the box is
  // closed, so that no topmost window hides the box.
  void tick();

  // The once-only timers that opening a file took out because their minute had passed: one
  // message lists them, then those due less than 24 hours ago ring once, late.
  void reportMissedTimers(const QList<TimerRecord>& removed);

  // The pop-up, or null before the first alarm.
  AlarmPopup* popup() const { return popup_.get(); }
  // The alarm sound is on (it may be between two plays).
  bool ringing() const { return soundSince_.has_value(); }

 private:
  // Rings one fired timer; false when its picture could not be loaded (it is shown without).
  bool fire(const FiredTimer& timer, const QDateTime& now);
  void showPopup();
  void warnOfTrouble();
  void keepSounding();
  void stopSound();
  void popupDismissed();
  // Adds the snoozed timer; what went wrong, if anything, to show once the pop-up is gone.
  std::optional<EditorMessage> snooze(const FiredTimer& timer);
  void showSnoozeTrouble(const std::optional<EditorMessage>& message);
  void snoozeShown();
  void notificationAction(int alarm, AlarmAction action);

  AppContext& context_;
  MainViews& views_;
  ClockTextSetter setClockText_;
  MinuteTracker tracker_;
  RingMemory rung_;
  std::unique_ptr<AlarmPopup> popup_;
  bool warningOpen_ = false;
  bool showAfterWarning_ = false;  // an alarm went off while the warning box was up

  int lastAlarm_ = 0;   // alarms are numbered from 1 in the order they ring
  int shownAlarm_ = 0;  // the alarm in the pop-up
  FiredTimer shownTimer_;
  // The alarms whose notification may still be answered, by number.
  QHash<int, FiredTimer> notified_;
  std::optional<qint64> soundSince_;  // uptime at which the alarm sound was started
};
