#pragma once
// Form3: the date dialog that jumps the main window to any date.

#include <QDialog>

#include "app/AppContext.h"

class QDateEdit;
class MainWindow;

class DateDialog : public QDialog {
  Q_OBJECT

 public:
  DateDialog(AppContext& context, MainWindow& mainWindow);

  QDateEdit* picker() const { return picker_; }
  void showChosenDate();  // 表示

 private:
  AppContext& context_;
  MainWindow& mainWindow_;
  QDateEdit* picker_ = nullptr;
};
