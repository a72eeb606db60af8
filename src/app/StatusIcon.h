#pragma once
// The program's icon in the desktop's tray (a StatusNotifierItem on Linux desktops) while the
// main window is open: its tooltip names the timer that rings next, a click brings the main
// window to the front, and its menu offers 表示 and 終了. The tooltip also says when the data
// file was last synced and why the last sync failed.

#include <QDateTime>
#include <QObject>

#include "ui/AppContext.h"

class MainWindow;
class QMenu;
class QSystemTrayIcon;
class QTimer;

class StatusIcon : public QObject {
  Q_OBJECT

 public:
  // The status icon for the main window, shown; null where the desktop has no tray, and then
  // nothing changes.
  static StatusIcon* createWhereAvailable(AppContext& context, MainWindow& mainWindow);

  StatusIcon(AppContext& context, MainWindow& mainWindow, QObject* parent = nullptr);
  ~StatusIcon() override;

  QSystemTrayIcon* trayIcon() const { return tray_; }
  QMenu* menu() const { return menu_; }

  // Reads the timers of the data file in use again and rewrites the tooltip. The timer list
  // calls it whenever it reloads; the icon calls it itself at each new minute.
  void refresh();
  // The last sync's time and any error, under the next timer; empty for none.
  void setSyncStatus(const QString& text);

 private:
  void showMainWindow();
  void minuteCheck();

  AppContext& context_;
  MainWindow& mainWindow_;
  QMenu* menu_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QTimer* minuteTimer_ = nullptr;
  QDateTime refreshedMinute_;
  QString syncStatus_;
};
