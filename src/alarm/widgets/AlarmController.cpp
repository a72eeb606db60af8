#include "alarm/widgets/AlarmController.h"

#include <QApplication>
#include <QImage>

#include "alarm/ClockText.h"
#include "alarm/MinuteScan.h"
#include "alarm/widgets/AlarmPopup.h"

AlarmController::AlarmController(AppContext& context, MainViews& views,
                                 ClockTextSetter setClockText, QObject* parent)
    : QObject(parent), context_(context), views_(views), setClockText_(std::move(setClockText)) {}

AlarmController::~AlarmController() = default;

void AlarmController::tick() {
  const QDateTime now = context_.platform.now();
  if (setClockText_) setClockText_(clockText(now));

  const std::optional<MinuteRange> minutes = tracker_.tick(now);
  const QString path = context_.state.CurrentDataFile;
  if (!minutes || path.isEmpty()) return;

  // The scan has already taken the fired once-only timers out of the file (or, on failure,
  // left the file as it was); every timer it found is shown, even when something went wrong.
  const MinuteScanResult scan = scanDueTimers(path, *minutes);
  bool trouble = !scan.status;
  for (const FiredTimer& timer : scan.fired) {
    if (!fire(timer, now)) trouble = true;
  }
  if (trouble) warnOfTrouble();
}

bool AlarmController::fire(const FiredTimer& timer, const QDateTime& now) {
  // While the warning box is up, a pop-up on the screen is refilled where it stands: closing it
  // would take away the native window that the box belongs to and is kept above.
  const bool refillShown = warningOpen_ && popup_ && popup_->isVisible();
  if (popup_ && popup_->isVisible() && !refillShown) popup_->close();
  context_.platform.beep();

  if (!popup_) popup_ = std::make_unique<AlarmPopup>(context_, views_);
  popup_->load();

  QImage picture;
  QString error;
  const bool loaded = context_.platform.loadPicture(timer.picturePath, &picture, &error);
  popup_->setPicture(loaded ? picture : QImage());
  popup_->setTitle(timer.title);
  popup_->setDueNotice(timer.late ? dueNotice(timer.due, now) : QString());

  if (warningOpen_ && !refillShown) {
    // A new topmost window would cover the box, which holds the whole program until it is
    // answered; the pop-up follows when the box is closed.
    showAfterWarning_ = true;
    return loaded;
  }
  showPopup();
  return loaded;
}

void AlarmController::showPopup() {
  popup_->show();
  popup_->activateWindow();
}

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
