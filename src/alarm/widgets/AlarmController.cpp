#include "alarm/widgets/AlarmController.h"

#include <QApplication>
#include <QImage>

#include "alarm/ClockText.h"
#include "alarm/MissedTimers.h"
#include "alarm/Snooze.h"
#include "alarm/widgets/AlarmPopup.h"

namespace {

// Notifications answered long ago are forgotten: only the latest alarms keep their actions.
constexpr int kNotificationsKept = 50;

}  // namespace

AlarmController::AlarmController(AppContext& context, MainViews& views,
                                 ClockTextSetter setClockText, QObject* parent)
    : QObject(parent), context_(context), views_(views), setClockText_(std::move(setClockText)) {
  context_.platform.setAlarmActionHandler(
      [this](int alarm, AlarmAction action) { notificationAction(alarm, action); });
}

AlarmController::~AlarmController() {
  context_.platform.setAlarmActionHandler({});
  stopSound();
}

void AlarmController::tick() {
  const QDateTime now = context_.platform.now();
  if (setClockText_) setClockText_(clockText(now));
  keepSounding();

  const std::optional<MinuteRange> minutes = tracker_.tick(now);
  const QString path = context_.state.CurrentDataFile;
  if (!minutes || path.isEmpty()) return;

  // The scan has already taken the fired once-only timers out of the file (or, on failure,
  // left the file as it was); every timer it found is shown, even when something went wrong.
  const MinuteScanResult scan = scanDueTimers(path, *minutes);
  bool trouble = !scan.status;
  const qint64 uptime = context_.platform.uptimeMilliseconds();
  for (const FiredTimer& timer : scan.fired) {
    // The clock was set back over a minute that already rang.
    if (!rung_.firstRing(timer, uptime)) continue;
    if (!fire(timer, now)) trouble = true;
  }
  if (trouble) warnOfTrouble();
}

void AlarmController::reportMissedTimers(const QList<TimerRecord>& removed) {
  const QDateTime now = context_.platform.now();
  const MissedTimers missed = missedTimers(removed, now);
  if (missed.message.isEmpty()) return;
  // First the list, while nothing covers it; then the recent ones ring.
  warn(context_.platform, missed.message);
  bool trouble = false;
  const qint64 uptime = context_.platform.uptimeMilliseconds();
  for (const FiredTimer& timer : missed.ringLate) {
    if (!rung_.firstRing(timer, uptime)) continue;
    if (!fire(timer, context_.platform.now())) trouble = true;
  }
  if (trouble) warnOfTrouble();
}

bool AlarmController::fire(const FiredTimer& timer, const QDateTime& now) {
  // While the warning box is up, a pop-up on the screen is refilled where it stands: closing it
  // would take away the native window that the box belongs to and is kept above.
  const bool refillShown = warningOpen_ && popup_ && popup_->isVisible();
  if (popup_ && !refillShown) popup_->closeForNextAlarm();

  // The alarm sound starts afresh for every alarm, and so does its 5 minutes.
  Platform& platform = context_.platform;
  platform.stopAlarmSound();
  platform.startAlarmSound();
  soundSince_ = platform.uptimeMilliseconds();

  const int alarm = ++lastAlarm_;
  const QString time = alarmTimeText(timer.due, now, timer.late);
  notified_.insert(alarm, timer);
  notified_.remove(alarm - kNotificationsKept);
  platform.showAlarmNotification(alarm, timer.title, time);

  if (!popup_) {
    popup_ = std::make_unique<AlarmPopup>(context_, views_);
    connect(popup_.get(), &AlarmPopup::dismissed, this, &AlarmController::popupDismissed);
    connect(popup_.get(), &AlarmPopup::snoozeRequested, this, &AlarmController::snoozeShown);
  }
  // Every modal window is closed, so that one click or key dismisses the alarm; but for the
  // program's own warning, which stays above the pop-up until it is answered.
  popup_->load(warningOpen_ ? QApplication::activeModalWidget() : nullptr);
  shownAlarm_ = alarm;
  shownTimer_ = timer;
  popup_->setTitle(timer.title);
  popup_->setDueTime(time, timer.late);

  QImage picture;
  QString error;
  const bool loaded =
      platform.loadPicture(timer.picturePath, popup_->pictureSize(), &picture, &error);
  popup_->setPicture(loaded ? picture : QImage());

  if (warningOpen_ && !refillShown) {
    // A new topmost window would cover the box, which holds the whole program until it is
    // answered; the pop-up follows when the box is closed.
    showAfterWarning_ = true;
    return loaded;
  }
  showPopup();
  return loaded;
}

void AlarmController::showPopup() { popup_->present(); }

void AlarmController::warnOfTrouble() {
  // The box runs its own event loop, in which the clock keeps ticking; a failure found by one
  // of those ticks is covered by the box already on the screen.
  if (warningOpen_) return;
  warningOpen_ = true;
  // The pop-up stays above every other window, so the box must belong to it to be seen: the
  // box takes the active window as its parent.
  if (popup_ && popup_->isVisible()) {
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    QApplication::setActiveWindow(popup_.get());
#else
    popup_->activateWindow();
#endif
  }
  warn(context_.platform, kTimerTroubleMessage);
  warningOpen_ = false;
  if (showAfterWarning_) {
    showAfterWarning_ = false;
    showPopup();
  }
}

void AlarmController::keepSounding() {
  if (!soundSince_) return;
  Platform& platform = context_.platform;
  if (platform.uptimeMilliseconds() - *soundSince_ >= kSoundMilliseconds) {
    stopSound();
    return;
  }
  if (!platform.alarmSoundPlaying()) platform.startAlarmSound();
}

void AlarmController::stopSound() {
  if (!soundSince_) return;
  soundSince_.reset();
  context_.platform.stopAlarmSound();
}

void AlarmController::popupDismissed() {
  stopSound();
  notified_.remove(shownAlarm_);
  context_.platform.closeAlarmNotification(shownAlarm_);
}

std::optional<EditorMessage> AlarmController::snooze(const FiredTimer& timer) {
  return snoozeTimer(context_.state.CurrentDataFile, timer, context_.platform.now()).message;
}

void AlarmController::showSnoozeTrouble(const std::optional<EditorMessage>& message) {
  // Only once the pop-up is gone, which would otherwise cover the box.
  if (message) {
    context_.platform.messageBox(message->text, message->title, message->icon, MessageButtons::Ok);
  }
}

void AlarmController::snoozeShown() {
  if (!popup_ || !popup_->isVisible()) return;
  const std::optional<EditorMessage> trouble = snooze(shownTimer_);
  popup_->dismiss(true);
  showSnoozeTrouble(trouble);
}

void AlarmController::notificationAction(int alarm, AlarmAction action) {
  const auto found = notified_.constFind(alarm);
  if (found == notified_.constEnd()) return;  // answered already
  const FiredTimer timer = *found;
  notified_.remove(alarm);
  std::optional<EditorMessage> trouble;
  if (action == AlarmAction::Snooze) trouble = snooze(timer);
  // The sound and the pop-up belong to the latest alarm; an earlier one that is answered only
  // loses its notification.
  if (alarm == shownAlarm_) {
    stopSound();
    if (popup_ && popup_->isVisible()) popup_->dismiss(false);
  }
  showSnoozeTrouble(trouble);
}
