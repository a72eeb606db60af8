#pragma once
// Form4: the alarm pop-up with the fired timer's title, time and picture.

#include <QWidget>

#include "ui/AppContext.h"
#include "ui/MainViews.h"

class CaptionLabel;
class QImage;
class QLabel;
class QPushButton;

class AlarmPopup : public QWidget {
  Q_OBJECT

 public:
  // A top-level window of its own: no owner, not modal. The alarm clock keeps one for the whole
  // run and loads it afresh for every alarm.
  AlarmPopup(AppContext& context, MainViews& views);

  // The load steps, run before every alarm is shown: close the open modal windows (all but
  // `keep`), empty the controls, centre on the screen at 100 twips from the top. The window
  // stays on top of all others while it is shown.
  void load(const QWidget* keep = nullptr);

  // Fills the window with one timer. The title chooses the split between title band and
  // picture; set it first, as it decides pictureSize(). A null picture shows the title and the
  // time large on a plain ground instead, and then a click anywhere dismisses. The time is
  // "07:30", or for a late alarm the notice "07:30 の予定です", shown in red.
  void setTitle(const QString& title);
  void setPicture(const QImage& picture);
  void setDueTime(const QString& time, bool late);

  // The picture box in device pixels, the size to load a picture at.
  QSize pictureSize() const;

  // Shows the window above all others without taking the keyboard from the window the user
  // is typing in, and announces it to screen readers as an alert. Until the user clicks it, it
  // takes no focus and no key; no click and no key counts during its first second
  // (kGraceMilliseconds), which belong to whatever was under the pointer or had the focus.
  void present();

  static constexpr qint64 kGraceMilliseconds = 1000;

  // Whether the user has brought the window to the front (clicked it after its first second):
  // from then on it takes the focus and Esc, Enter, Space and S act on it.
  bool broughtToFront() const { return broughtToFront_; }

  // Closes the window as the user does (picture click, Esc, Enter, Space): dismissed() is
  // emitted, the main window's timer list is reloaded, and with clickSound the short sound of
  // a click plays. The close box does the same without the sound.
  void dismiss(bool clickSound);

  // Closes the window for the alarm that replaces it: the timer list is reloaded, nothing else.
  void closeForNextAlarm();

 signals:
  // The user is done with the alarm (any way but snooze itself); the window is closing.
  void dismissed();
  // 「5分後にもう一度」: its button, or the key S.
  void snoozeRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  enum class Closing { ByUser, Dismissing, ForNextAlarm };

  void placeDueTime();
  bool inGrace() const;
  bool keysAllowed() const;
  void acceptFocus(bool accept);
  void bringToFront();
  // A press after the first second brings the window to the front; false when the click is
  // to be ignored altogether.
  bool pressCounts();
  void updateAccessibleName();
  bool hasPicture() const;

  AppContext& context_;
  MainViews& views_;
  CaptionLabel* title_ = nullptr;        // Label1
  QLabel* picture_ = nullptr;            // Image1
  CaptionLabel* instruction_ = nullptr;  // Label2
  CaptionLabel* dueTime_ = nullptr;      // over the picture's upper left corner
  CaptionLabel* faceTime_ = nullptr;     // without a picture: the time, large
  CaptionLabel* faceTitle_ = nullptr;    // without a picture: the title, large
  QWidget* bar_ = nullptr;               // along the bottom edge, below the picture
  QPushButton* snooze_ = nullptr;
  QLabel* announcer_ = nullptr;  // tells a screen reader of the alarm, the focus being elsewhere
  Closing closing_ = Closing::ByUser;
  QString dueText_;
  bool late_ = false;
  qint64 shownAt_ = 0;           // the platform's uptime when presented
  bool broughtToFront_ = false;  // clicked after the first second
  bool pressCounted_ = false;    // the press that began the current click counted
};
