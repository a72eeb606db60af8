#pragma once
// The program's run: the start-up window (Form1) until a data file is chosen, then the main
// window (Form2) for the rest of the run.

#include <QObject>
#include <QPointer>

#include "ui/AppContext.h"

class MainWindow;
class StartupWindow;

class Program : public QObject {
  Q_OBJECT

 public:
  explicit Program(AppContext& context);
  ~Program() override;

  // Loads and shows the start-up window. False when another copy runs: the window has said so
  // and unloaded itself.
  bool start();

  StartupWindow* startupWindow() const;
  MainWindow* mainWindow() const;

 private:
  // The start-up window has unloaded after a file was created or opened: the main window
  // loads and shows itself, then an opened file is tidied.
  void handOver(bool opened);

  AppContext& context_;
  QPointer<StartupWindow> startup_;
  QPointer<MainWindow> main_;
};
