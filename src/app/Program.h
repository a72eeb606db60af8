#pragma once
// The program's run: the start-up window (Form1) until a data file is chosen, then the main
// window (Form2) for the rest of the run, with the status icon beside it where the desktop has
// a tray.

#include <QObject>
#include <QPointer>
#include <optional>

#include "ui/AppContext.h"

class MainWindow;
class StartupWindow;
class StatusIcon;

class Program : public QObject {
  Q_OBJECT

 public:
  explicit Program(AppContext& context);
  ~Program() override;

  // Refuses to run beside another copy (it is brought to the front and the user is told), then
  // loads the start-up window. With a data file named on the command line the file is opened
  // as 既存のデータを開く does and the main window comes straight away; a file that cannot be
  // read is reported and the start-up window shown instead. False when another copy runs.
  bool start(const QString& dataFile = {});

  StartupWindow* startupWindow() const;
  MainWindow* mainWindow() const;
  StatusIcon* statusIcon() const;

  // A later start asked this copy to come to the front: the main window (or the start-up
  // window before it) is raised and activated. Returns the data file in use, empty before one
  // is chosen.
  QString comeToFront();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // False when another copy holds the lock. A lock that cannot be made is reported, and the
  // program runs without it.
  bool claimSingleInstance(const QString& dataFile);

  // The start-up window has unloaded after a file was created or opened: the main window
  // loads and shows itself, then an opened file is tidied.
  void handOver(bool opened);
  // The tidy-up of an opened file, once the main window has painted itself.
  void tidyOpenedFile();

  bool tidyPending_ = false;

  AppContext& context_;
  QPointer<StartupWindow> startup_;
  QPointer<MainWindow> main_;
  QPointer<StatusIcon> statusIcon_;
};

// The message of a start refused because another copy runs. `requested` is the data file this
// start was given (empty for none), `inUse` the running copy's answer (none when it could not
// be asked). When the two files differ the message says which file stays in use.
QString alreadyRunningMessage(const QString& requested, const std::optional<QString>& inUse);
