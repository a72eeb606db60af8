#pragma once
// Form2: the main window with the day list, the month grid and the timer list.

#include <QMainWindow>

#include "app/AppContext.h"

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(AppContext& context);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AppContext& context_;
};
