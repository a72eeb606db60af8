#pragma once
// Form4: the alarm pop-up with the fired timer's title and picture.

#include <QWidget>

#include "ui/AppContext.h"
#include "ui/MainViews.h"

class CaptionLabel;
class QImage;
class QLabel;

class AlarmPopup : public QWidget {
  Q_OBJECT

 public:
  // A top-level window of its own: no owner, not modal. The alarm clock keeps one for the whole
  // run and loads it afresh for every alarm.
  AlarmPopup(AppContext& context, MainViews& views);

  // The load steps, run before every alarm is shown: close the open modal windows, empty the
  // controls, centre on the screen at 100 twips from the top. The window stays on top of all
  // others while it is shown.
  void load();

  // Fills the window with one timer. A null picture leaves the picture box empty; the title
  // chooses the split between title band and picture; an empty notice hides the due time.
  void setPicture(const QImage& picture);
  void setTitle(const QString& title);
  void setDueNotice(const QString& notice);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void pictureClicked();
  void placeDueNotice();

  AppContext& context_;
  MainViews& views_;
  CaptionLabel* title_ = nullptr;        // Label1
  QLabel* picture_ = nullptr;            // Image1
  CaptionLabel* instruction_ = nullptr;  // Label2
  CaptionLabel* dueNotice_ = nullptr;    // shown only for an alarm that went off late
};
