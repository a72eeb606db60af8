#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "exchange/SyncConfig.h"
#include "exchange/VdirBridge.h"

// One sync of a data file with its CalDAV calendar: vdirsyncer brings the server's changes
// into the folder of items, the bridge brings the folder and the data file in step, and
// vdirsyncer takes this side's changes to the server. vdirsyncer and secret-tool run as child
// processes and the bridge in a thread of its own, so the window that starts a sync never
// waits for it: each step goes on from a signal.
struct SyncOutcome {
  bool ok = false;
  QString error;  // one Japanese sentence naming the cause; empty when ok
  BridgeReport report;
};

class SyncRunner : public QObject {
  Q_OBJECT
 public:
  explicit SyncRunner(QString dataFile, QObject* parent = nullptr);
  ~SyncRunner() override;

  // The vdirsyncer and secret-tool to run (tests name their own); found on PATH by default.
  void setPrograms(const QString& vdirsyncer, const QString& secretTool);
  // The moment the bridge takes as now (tests); the clock's by default.
  void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  bool isRunning() const { return running_; }
  const SyncPaths& paths() const { return paths_; }

  // What to install for sync, when something is missing ("vdirsyncer"); empty when all is there.
  QString missingPrograms() const;

  // A whole sync. finished() follows, also when nothing can be done.
  void startSync();
  // Stores the password in the Secret Service; passwordStored() follows.
  void startStorePassword(const QString& password);
  // Takes the password out of the Secret Service (when the sync is given up).
  void startForgetPassword();
  // Lists the server's calendars with these settings (the password stored first);
  // discovered() follows.
  void startDiscovery(const SyncSettings& settings);

 signals:
  void finished(const SyncOutcome& outcome);
  void passwordStored(bool ok, const QString& error);
  void discovered(const QList<DiscoveredCalendar>& calendars, const QString& error);

 private:
  using Next = std::function<void(bool ok, const QString& output)>;
  void runProgram(const QString& program, const QStringList& arguments, const QByteArray& input,
                  Next next);
  void discoverThenSync(const QByteArray& mark);
  void afterFirstSync();
  void afterBridge(const BridgeReport& report);
  void finish(const QString& error);

  QString dataFile_;
  SyncPaths paths_;
  SyncSettings settings_;
  QString vdirsyncer_;
  QString secretTool_;
  std::function<QDateTime()> clock_;
  bool running_ = false;
  std::unique_ptr<QLockFile> lock_;
  QProcess* process_ = nullptr;
  BridgeReport report_;
  std::function<void(bool again)> sync_;  // the first vdirsyncer sync of this run
};

// What to install for sync when vdirsyncer or secret-tool is not on PATH; empty otherwise.
QString missingSyncPrograms();

// The message of a finished sync for the user: the error, or the conflicts (once).
QString conflictMessage(const QStringList& conflicts);
