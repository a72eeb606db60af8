#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>

#include "exchange/SyncRunner.h"

class MainViews;
class QTimer;
class QWidget;
struct AppContext;

// When the data file in use is synced with its calendar, while the main window is open: at
// ファイル → 今すぐ同期, a few seconds after each change of the file (by this program or another
// copy of it), and every 15 minutes. The sync runs beside the window (SyncRunner); when it has
// changed the data file every view is read again, a conflict is told once in a message box,
// and the last sync's time and error are kept for the setup window and the status icon.
class SyncController : public QObject {
  Q_OBJECT

 public:
  SyncController(AppContext& context, MainViews& views, QObject* parent = nullptr);
  ~SyncController() override;

  // ファイル → 今すぐ同期: as the timers do, but an error is told in a message box.
  void syncNow();
  // ファイル → 同期の設定…
  void openSetup(QWidget* parent);

  bool isSetUp() const;
  // What to install for sync ("vdirsyncer libsecret-tools"); empty when nothing is missing.
  QString missingPrograms() const;
  // The last sync's time and any error, one or two lines, for the status icon's tooltip;
  // empty when the data file in use has no sync.
  QString statusText() const;

  // A sync of the data file in use, if it has one and none is running.
  void syncQuietly();

 signals:
  void statusChanged();

 private:
  SyncRunner* runnerForFile();
  void fileCheck();
  void finished(const SyncOutcome& outcome);

  AppContext& context_;
  MainViews& views_;
  std::unique_ptr<SyncRunner> runner_;
  QTimer* periodic_ = nullptr;
  QTimer* soon_ = nullptr;
  QTimer* fileWatch_ = nullptr;
  bool userAsked_ = false;
  // The data file as it was last seen: a change of these is a change of the file.
  QString seenPath_;
  QDateTime seenModified_;
  qint64 seenSize_ = -1;
};

// Helpers for tests and for the setup window.
namespace syncui {
// The two menu items' captions: with what to install when something is missing.
QString setupCaption(const QString& missing);
QString syncNowCaption(const QString& missing);
}  // namespace syncui
