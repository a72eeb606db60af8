#include "app/Program.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QTimer>

#include "alarm/widgets/AlarmController.h"
#include "app/DataFileCommands.h"
#include "app/DesktopIntegration.h"
#include "app/MainWindow.h"
#include "app/StartupWindow.h"
#include "app/StatusIcon.h"
#include "exchange/widgets/SyncController.h"
#include "store/DataFileScan.h"
#include "store/SystemError.h"

QString alreadyRunningMessage(const QString& requested, const std::optional<QString>& inUse) {
  QString text = QStringLiteral("このアプリケーションはすでに起動しています");
  if (requested.isEmpty() || !inUse || (!inUse->isEmpty() && isSameFile(requested, *inUse))) {
    return text;
  }
  text += QStringLiteral("\n\n指定されたデータ%1は開いていません。").arg(quotedPath(requested));
  if (inUse->isEmpty()) {
    text += QStringLiteral("起動中の Yotenna はまだデータを開いていません。");
  } else {
    text += QStringLiteral("起動中の Yotenna は%1を使っています。").arg(quotedPath(*inUse));
  }
  return text;
}

Program::Program(AppContext& context) : context_(context) {}

Program::~Program() {
  if (main_) main_->removeEventFilter(this);
  delete statusIcon_.data();
  delete main_.data();
  delete startup_.data();
}

StartupWindow* Program::startupWindow() const { return startup_; }

MainWindow* Program::mainWindow() const { return main_; }

StatusIcon* Program::statusIcon() const { return statusIcon_; }

bool Program::start(const QString& dataFile) {
  startup_ = new StartupWindow(context_);
  connect(startup_, &StartupWindow::dataFileChosen, this, &Program::handOver);
  if (!claimSingleInstance(dataFile)) {
    startup_->close();  // unloads without a file: the program ends
    return false;
  }
  startup_->load();
  context_.platform.listenForLaterCopies([this](const QString&) { return comeToFront(); });

  if (!dataFile.isEmpty()) {
    const QString path = QFileInfo(dataFile).absoluteFilePath();
    // Read the first record only: a file that cannot be read at all gets the message the
    // open would give, before any window shows it.
    const Status readable = scanSchedule(path, [](const ScheduleRecord&) { return false; });
    if (readable) {
      startup_->openFile(path);
      return true;
    }
    warn(context_.platform, readable.message());
  }
  startup_->show();
  return true;
}

bool Program::claimSingleInstance(const QString& dataFile) {
  Platform& platform = context_.platform;
  const InstanceLock lock = platform.acquireSingleInstanceLock();
  switch (lock.state) {
    case InstanceLock::State::Held:
      return true;
    case InstanceLock::State::Unavailable:
      warn(platform, QStringLiteral("二重起動を防ぐためのロックを作れませんでした。\n%1\n\n"
                                    "このまま起動します。")
                         .arg(lock.reason));
      return true;
    case InstanceLock::State::AnotherCopyRuns:
      break;
  }
  // The running copy comes to the front first, so that it stands behind this message.
  const QString requested = dataFile.isEmpty() ? QString() : QFileInfo(dataFile).absoluteFilePath();
  const std::optional<QString> inUse = platform.raiseRunningCopy(requested);
  warn(platform, alreadyRunningMessage(requested, inUse));
  return false;
}

QString Program::comeToFront() {
  if (main_) {
    bringToFront(main_);
  } else if (startup_ && startup_->isVisible()) {
    bringToFront(startup_);
  }
  return context_.state.MonthDays[0] == 1 ? context_.state.CurrentDataFile : QString();
}

void Program::handOver(bool opened) {
  startup_ = nullptr;  // unloaded; it deletes itself
  if (!main_) {
    main_ = new MainWindow(context_);
    statusIcon_ = StatusIcon::createWhereAvailable(context_, *main_);
    if (statusIcon_) {
      SyncController* sync = main_->syncController();
      StatusIcon* icon = statusIcon_;
      QObject::connect(sync, &SyncController::statusChanged, icon,
                       [sync, icon] { icon->setSyncStatus(sync->statusText()); });
      icon->setSyncStatus(sync->statusText());
    }
  }
  main_->show();
  if (!opened) {
    main_->finishRefresh();
    return;
  }
  // The main window loads its views before the purge and reloads them when the purge changed
  // the file. It paints itself first, so that a large file does not keep it from appearing;
  // should no paint come (a hidden screen), the tidy-up runs anyway.
  tidyPending_ = true;
  main_->installEventFilter(this);
  QTimer::singleShot(1000, this, &Program::tidyOpenedFile);
}

bool Program::eventFilter(QObject* watched, QEvent* event) {
  // The type first: while the main window is being destroyed its children's removal passes
  // through here, and it is no longer a MainWindow to compare with.
  if (event->type() == QEvent::Paint && tidyPending_ && watched == main_) {
    // After this paint has reached the screen.
    QTimer::singleShot(0, this, &Program::tidyOpenedFile);
  }
  return QObject::eventFilter(watched, event);
}

void Program::tidyOpenedFile() {
  if (!tidyPending_) return;
  tidyPending_ = false;
  if (!main_) return;
  main_->removeEventFilter(this);
  QList<TimerRecord> missed;
  bool rewritten = false;
  const Status purged = PurgeDataFile(context_, &missed, &rewritten);
  if (!purged) {
    // The purge names the file and the reason; the views' failure would say the same again.
    main_->clearPendingFailure();
    warn(context_.platform, purged.message());
  } else {
    // What the purge removed must not stay on the screen, nor be opened for a change.
    if (rewritten) {
      main_->refreshAllViews();
    } else {
      main_->finishRefresh();
    }
  }
  // Before the main window is used: the alarms that passed while the program was not running.
  main_->alarms()->reportMissedTimers(missed);
}
