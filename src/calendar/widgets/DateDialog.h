#pragma once
// Form3: the date dialog that jumps the main window to any date.

#include <QDialog>

#include "ui/AppContext.h"
#include "ui/MainViews.h"

class QDateEdit;

class DateDialog : public QDialog {
  Q_OBJECT

 public:
  DateDialog(AppContext& context, MainViews& views, QWidget* parent);

  QDateEdit* picker() const { return picker_; }
  void showChosenDate();  // 表示

 private:
  AppContext& context_;
  MainViews& views_;
  QDateEdit* picker_ = nullptr;
};
