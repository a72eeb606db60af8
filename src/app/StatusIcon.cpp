#include "app/StatusIcon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "alarm/NextTimer.h"
#include "app/DesktopIntegration.h"
#include "app/MainWindow.h"

StatusIcon* StatusIcon::createWhereAvailable(AppContext& context, MainWindow& mainWindow) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return nullptr;
  auto* icon = new StatusIcon(context, mainWindow);
  icon->tray_->show();
  return icon;
}

StatusIcon::StatusIcon(AppContext& context, MainWindow& mainWindow, QObject* parent)
    : QObject(parent), context_(context), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("StatusIcon"));
  menu_ = new QMenu();
  menu_->setObjectName(QStringLiteral("StatusIconMenu"));
  QAction* show = menu_->addAction(QStringLiteral("表示"));
  show->setObjectName(QStringLiteral("trayShow"));
  connect(show, &QAction::triggered, this, &StatusIcon::showMainWindow);
  QAction* end = menu_->addAction(QStringLiteral("終了"));
  end->setObjectName(QStringLiteral("trayEnd"));
  // As the menu item 終了 does: the main window asks 「終了しますか？」 before anything ends.
  connect(end, &QAction::triggered, &mainWindow_, [this] {
    showMainWindow();
    mainWindow_.close();
  });

  tray_ = new QSystemTrayIcon(trayIconPicture(), this);
  tray_->setObjectName(QStringLiteral("StatusIconTray"));
  tray_->setContextMenu(menu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) showMainWindow();
  });

  connect(&mainWindow_, &MainWindow::timerListLoaded, this, &StatusIcon::refresh);
  // The next timer changes with the clock as well as with the file: look again each minute.
  minuteTimer_ = new QTimer(this);
  minuteTimer_->setInterval(1000);
  connect(minuteTimer_, &QTimer::timeout, this, &StatusIcon::minuteCheck);
  minuteTimer_->start();
  refresh();
}

StatusIcon::~StatusIcon() {
  // The menu has no parent: the tray only borrows it.
  delete tray_;
  delete menu_;
}

void StatusIcon::showMainWindow() { bringToFront(&mainWindow_); }

void StatusIcon::minuteCheck() {
  const QDateTime now = context_.platform.now();
  const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
  if (minute != refreshedMinute_) refresh();
}

void StatusIcon::refresh() {
  const QDateTime now = context_.platform.now();
  refreshedMinute_ = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
  const NextTimerResult next = findNextTimer(context_.state.CurrentDataFile, now);
  QString tip = next.status ? nextTimerText(next.next) : next.status.message();
  if (!syncStatus_.isEmpty()) tip += u'\n' + syncStatus_;
  tray_->setToolTip(tip);
}

void StatusIcon::setSyncStatus(const QString& text) {
  if (text == syncStatus_) return;
  syncStatus_ = text;
  refresh();
}
