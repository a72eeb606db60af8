#include "exchange/widgets/SyncController.h"

#include <QFileInfo>
#include <QTimer>

#include "exchange/widgets/SyncSetupDialog.h"
#include "shared/DateFormat.h"
#include "ui/AppContext.h"
#include "ui/MainViews.h"

namespace {

constexpr int kPeriodMs = 15 * 60 * 1000;
// After a change, a little while: the user often makes a few in a row.
constexpr int kAfterChangeMs = 5000;
constexpr int kFileCheckMs = 2000;

const QString kSyncTitle = QStringLiteral("同期");

}  // namespace

namespace syncui {

QString setupCaption(const QString& missing) {
  return missing.isEmpty() ? QStringLiteral("同期の設定…")
                           : QStringLiteral("同期の設定…（%1 を入れてください）").arg(missing);
}

QString syncNowCaption(const QString& missing) {
  return missing.isEmpty()
             ? QStringLiteral("今すぐ同期")
             : QStringLiteral("今すぐ同期（sudo apt install %1 が必要です）").arg(missing);
}

}  // namespace syncui

SyncController::SyncController(AppContext& context, MainViews& views, QObject* parent)
    : QObject(parent), context_(context), views_(views) {
  periodic_ = new QTimer(this);
  periodic_->setInterval(kPeriodMs);
  connect(periodic_, &QTimer::timeout, this, &SyncController::syncQuietly);
  periodic_->start();
  soon_ = new QTimer(this);
  soon_->setSingleShot(true);
  soon_->setInterval(kAfterChangeMs);
  connect(soon_, &QTimer::timeout, this, &SyncController::syncQuietly);
  // One look at the file's size and time every two seconds: cheap, and it sees every change,
  // whoever made it, without the operations having to know of sync.
  fileWatch_ = new QTimer(this);
  fileWatch_->setInterval(kFileCheckMs);
  connect(fileWatch_, &QTimer::timeout, this, &SyncController::fileCheck);
  fileWatch_->start();
}

SyncController::~SyncController() = default;

SyncRunner* SyncController::runnerForFile() {
  const QString file = context_.state.CurrentDataFile;
  if (file.isEmpty()) return nullptr;
  if (!runner_ || runner_->property("dataFile").toString() != file) {
    if (runner_ && runner_->isRunning()) return runner_.get();  // finishes first
    runner_ = std::make_unique<SyncRunner>(file);
    runner_->setProperty("dataFile", file);
    connect(runner_.get(), &SyncRunner::finished, this, &SyncController::finished);
  }
  return runner_.get();
}

bool SyncController::isSetUp() const {
  const QString file = context_.state.CurrentDataFile;
  return !file.isEmpty() && readSyncSettings(syncPathsFor(file)).has_value();
}

QString SyncController::missingPrograms() const { return missingSyncPrograms(); }

QString SyncController::statusText() const {
  const QString file = context_.state.CurrentDataFile;
  if (file.isEmpty() || !isSetUp()) return {};
  const LastSync last = readLastSync(syncPathsFor(file));
  if (runner_ && runner_->isRunning()) return QStringLiteral("同期しています…");
  if (!last.when.isValid()) return QStringLiteral("まだ同期していません");
  QString text =
      QStringLiteral("最後の同期: %1").arg(formatDateTime(last.when, u"yyyy/mm/dd hh:nn"));
  if (!last.error.isEmpty()) text += QStringLiteral("（失敗）\n") + last.error;
  return text;
}

void SyncController::syncNow() {
  if (!isSetUp()) {
    warn(context_.platform,
         QStringLiteral("このデータファイルには同期が設定されていません。"
                        "「ファイル」→「同期の設定…」で設定してください。"),
         kSyncTitle);
    return;
  }
  SyncRunner* runner = runnerForFile();
  if (!runner) return;
  if (runner->isRunning()) return;  // its end is shown as usual
  userAsked_ = true;
  runner->startSync();
  emit statusChanged();
}

void SyncController::syncQuietly() {
  if (!isSetUp()) return;
  SyncRunner* runner = runnerForFile();
  if (!runner || runner->isRunning()) return;
  runner->startSync();
  emit statusChanged();
}

void SyncController::fileCheck() {
  const QString file = context_.state.CurrentDataFile;
  const QFileInfo info(file);
  const QDateTime modified = info.lastModified();
  const qint64 size = info.size();
  if (file != seenPath_) {
    // Another data file: its own sync, once it is opened.
    seenPath_ = file;
    seenModified_ = modified;
    seenSize_ = size;
    if (isSetUp()) soon_->start();
    emit statusChanged();
    return;
  }
  if (modified == seenModified_ && size == seenSize_) return;
  seenModified_ = modified;
  seenSize_ = size;
  if (runner_ && runner_->isRunning()) return;  // the sync's own rewrite
  if (isSetUp()) soon_->start();
}

void SyncController::finished(const SyncOutcome& outcome) {
  const bool asked = userAsked_;
  userAsked_ = false;
  // The sync's own rewrite is no change to sync again.
  const QFileInfo info(seenPath_);
  seenModified_ = info.lastModified();
  seenSize_ = info.size();
  const BridgeReport& report = outcome.report;
  if (report.recordsAdded + report.recordsChanged + report.recordsRemoved > 0) {
    refreshViews(views_, {&MainViews::ShowDateHeading, &MainViews::ShowDayHoliday,
                          &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView,
                          &MainViews::LoadTimerList});
  }
  emit statusChanged();
  if (!report.conflicts.isEmpty()) {
    context_.platform.messageBox(conflictMessage(report.conflicts), kSyncTitle,
                                 MessageIcon::Warning, MessageButtons::Ok);
  }
  if (!outcome.ok && asked) {
    warn(context_.platform, QStringLiteral("同期できませんでした。\n") + outcome.error, kSyncTitle);
  }
}

void SyncController::openSetup(QWidget* parent) {
  const QString file = context_.state.CurrentDataFile;
  if (file.isEmpty()) return;
  SyncSetupDialog dialog(context_, file, statusText(), parent);
  connect(this, &SyncController::statusChanged, &dialog,
          [this, &dialog] { dialog.setStatus(statusText()); });
  const int result = dialog.exec();
  emit statusChanged();
  if (result == QDialog::Accepted) syncNow();
}
