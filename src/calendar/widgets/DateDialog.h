#pragma once
// Form3: the date dialog that jumps the main window to any date.

#include <QDialog>

#include "ui/AppContext.h"
#include "ui/MainViews.h"

class QDateEdit;
class QLabel;

class DateDialog : public QDialog {
  Q_OBJECT

 public:
  DateDialog(AppContext& context, MainViews& views, QWidget* parent);

  QDateEdit* picker() const { return picker_; }
  void showChosenDate();  // 表示
  // F4 and Alt+Down: the calendar drops down, as from a click on the arrow.
  void openCalendar();
  // Left (-1) and Right (+1): the part of the date before or after.
  void moveToPart(int step);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  AppContext& context_;
  MainViews& views_;
  QDateEdit* picker_ = nullptr;
  QLabel* spoken_ = nullptr;  // what the picker cannot say itself
};
