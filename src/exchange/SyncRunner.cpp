#include "exchange/SyncRunner.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "store/AtomicFile.h"

namespace {

// vdirsyncer asks before it creates a calendar's folder; the answer is always yes.
const QByteArray kYes = QByteArrayLiteral("y\ny\ny\ny\ny\ny\ny\ny\n");

// A first sync of a large calendar takes a while; a server that hangs must not hold the sync.
constexpr int kProgramTimeoutMs = 20 * 60 * 1000;

const QString kNothingChanged = QStringLiteral("データファイルもサーバーも変えていません。");

QString notInstalled(const QString& package) {
  return QStringLiteral(
             "%1 が入っていないため同期できません。"
             "「sudo apt install %1」で入れてください。")
      .arg(package);
}

}  // namespace

SyncRunner::SyncRunner(QString dataFile, QObject* parent)
    : QObject(parent),
      dataFile_(std::move(dataFile)),
      paths_(syncPathsFor(dataFile_)),
      vdirsyncer_(QStandardPaths::findExecutable(QStringLiteral("vdirsyncer"))),
      secretTool_(QStandardPaths::findExecutable(QStringLiteral("secret-tool"))),
      clock_([] { return QDateTime::currentDateTime(); }) {}

SyncRunner::~SyncRunner() {
  if (process_) {
    process_->disconnect(this);
    process_->kill();
    process_->waitForFinished(2000);
  }
}

void SyncRunner::setPrograms(const QString& vdirsyncer, const QString& secretTool) {
  vdirsyncer_ = vdirsyncer;
  secretTool_ = secretTool;
}

QString SyncRunner::missingPrograms() const {
  QStringList missing;
  if (vdirsyncer_.isEmpty() || !QFileInfo(vdirsyncer_).isExecutable()) {
    missing << QStringLiteral("vdirsyncer");
  }
  if (secretTool_.isEmpty() || !QFileInfo(secretTool_).isExecutable()) {
    missing << QStringLiteral("libsecret-tools");
  }
  return missing.join(u' ');
}

void SyncRunner::runProgram(const QString& program, const QStringList& arguments,
                            const QByteArray& input, Next next) {
  auto* process = new QProcess(this);
  process_ = process;
  process->setProcessChannelMode(QProcess::MergedChannels);
  auto* timeout = new QTimer(process);
  timeout->setSingleShot(true);
  connect(timeout, &QTimer::timeout, process, [process] { process->kill(); });
  auto done = [this, process, next](bool ok) {
    const QString output = QString::fromUtf8(process->readAll());
    process->deleteLater();
    if (process_ == process) process_ = nullptr;
    next(ok, output);
  };
  connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) done(false);
    (void)process;
  });
  connect(process, &QProcess::finished, this, [done](int code, QProcess::ExitStatus status) {
    done(status == QProcess::NormalExit && code == 0);
  });
  process->start(program, arguments);
  if (!input.isEmpty()) process->write(input);
  process->closeWriteChannel();
  timeout->start(kProgramTimeoutMs);
}

void SyncRunner::startStorePassword(const QString& password) {
  if (secretTool_.isEmpty()) {
    emit passwordStored(false, notInstalled(QStringLiteral("libsecret-tools")));
    return;
  }
  runProgram(
      secretTool_,
      {QStringLiteral("store"), QStringLiteral("--label=Yotenna の同期（%1）").arg(paths_.key),
       QStringLiteral("service"), QStringLiteral("yotenna"), QStringLiteral("account"), paths_.key},
      password.toUtf8(), [this](bool ok, const QString& output) {
        emit passwordStored(ok, ok ? QString()
                                   : QStringLiteral("パスワードをキーリング（Secret Service）に"
                                                    "しまえません（%1）。")
                                         .arg(output.trimmed().left(200)));
      });
}

void SyncRunner::startForgetPassword() {
  if (secretTool_.isEmpty()) return;
  runProgram(secretTool_,
             {QStringLiteral("clear"), QStringLiteral("service"), QStringLiteral("yotenna"),
              QStringLiteral("account"), paths_.key},
             {}, [](bool, const QString&) {});
}

void SyncRunner::startDiscovery(const SyncSettings& settings) {
  if (vdirsyncer_.isEmpty()) {
    emit discovered({}, notInstalled(QStringLiteral("vdirsyncer")));
    return;
  }
  const QString folder = paths_.dataFolder + QStringLiteral("/discovery");
  QDir(folder).removeRecursively();
  const QString config = folder + QStringLiteral("/vdirsyncer.conf");
  if (!QDir().mkpath(folder) ||
      !replaceFileContents(config, vdirsyncerConfig(paths_, settings, folder)).isOk()) {
    emit discovered({}, QStringLiteral("フォルダ%1に書けません。").arg(folder));
    return;
  }
  runProgram(vdirsyncer_, {QStringLiteral("-c"), config, QStringLiteral("discover")}, kYes,
             [this, settings, folder](bool ok, const QString& output) {
               QDir(folder).removeRecursively();
               QList<DiscoveredCalendar> calendars = parseDiscoveredCalendars(output);
               if (!ok && calendars.isEmpty()) {
                 emit discovered({}, syncFailureReason(output, settings));
                 return;
               }
               emit discovered(calendars, QString());
             });
}

void SyncRunner::startSync() {
  if (running_) return;
  auto fail = [this](const QString& error) {
    SyncOutcome outcome;
    outcome.error = error;
    emit finished(outcome);
  };
  const std::optional<SyncSettings> settings = readSyncSettings(paths_);
  if (!settings) {
    fail(QStringLiteral("このデータファイルには同期が設定されていません。"));
    return;
  }
  settings_ = *settings;
  if (const QString missing = missingPrograms(); !missing.isEmpty()) {
    fail(notInstalled(missing));
    return;
  }
  QDir().mkpath(paths_.dataFolder);
  lock_ = std::make_unique<QLockFile>(paths_.lockFile);
  lock_->setStaleLockTime(0);  // a lock whose holder is gone is stale, however recent
  if (!lock_->tryLock(0)) {
    lock_.reset();
    fail(QStringLiteral("このデータファイルの同期はすでに動いています。"));
    return;
  }
  running_ = true;
  report_ = BridgeReport{};

  // The configuration follows the settings; when it changes (or at the first sync) vdirsyncer
  // must discover the calendar again before it syncs.
  const QByteArray config = vdirsyncerConfig(paths_, settings_);
  QFile existing(paths_.vdirsyncerConfig);
  const bool same = existing.open(QIODevice::ReadOnly) && existing.readAll() == config;
  existing.close();
  // vdirsyncer must have discovered the calendar with this very configuration; a discovery
  // stopped half-way leaves no mark and is run again.
  const QByteArray mark = QCryptographicHash::hash(config, QCryptographicHash::Sha256).toHex();
  QFile marked(paths_.discoveredFile());
  const bool discover = !same || !marked.open(QIODevice::ReadOnly) || marked.readAll() != mark;
  marked.close();
  if (!same) {
    QDir().mkpath(paths_.configFolder);
    if (const Status written = replaceFileContents(paths_.vdirsyncerConfig, config); !written) {
      finish(written.message());
      return;
    }
  }
  const QStringList configArgument{QStringLiteral("-c"), paths_.vdirsyncerConfig};
  auto sync = [this, configArgument, mark](bool again) {
    runProgram(vdirsyncer_, configArgument + QStringList{QStringLiteral("sync")}, {},
               [this, again, mark](bool ok, const QString& output) {
                 if (!ok && !again && output.contains(QStringLiteral("vdirsyncer discover"))) {
                   // vdirsyncer's status holds a digest of its configuration with the
                   // password fetched: a new password asks for a discovery first.
                   QFile::remove(paths_.discoveredFile());
                   discoverThenSync(mark);
                   return;
                 }
                 if (!ok) {
                   finish(syncFailureReason(output, settings_) + kNothingChanged);
                   return;
                 }
                 afterFirstSync();
               });
  };
  sync_ = sync;
  if (!discover) {
    sync(false);
    return;
  }
  discoverThenSync(mark);
}

void SyncRunner::discoverThenSync(const QByteArray& mark) {
  const QStringList configArgument{QStringLiteral("-c"), paths_.vdirsyncerConfig};
  runProgram(
      vdirsyncer_, configArgument + QStringList{QStringLiteral("discover")}, kYes,
      [this, mark](bool ok, const QString& output) {
        if (!ok) {
          finish(syncFailureReason(output, settings_) + kNothingChanged);
          return;
        }
        if (!settings_.calendar.isEmpty() &&
            !QFileInfo(paths_.vdirFor(settings_.calendar)).isDir()) {
          finish(syncFailureReason(QStringLiteral("Not Found"), settings_) + kNothingChanged);
          return;
        }
        (void)replaceFileContents(paths_.discoveredFile(), mark);
        sync_(true);
      });
}

void SyncRunner::afterFirstSync() {
  BridgeOptions options;
  options.dataFile = dataFile_;
  options.vdir = paths_.vdirFor(settings_.calendar);
  options.stateFile = paths_.stateFile;
  options.now = clock_();
  auto report = std::make_shared<BridgeReport>();
  QThread* thread = QThread::create([options, report] { *report = bridgeVdir(options); });
  connect(thread, &QThread::finished, this, [this, thread, report] {
    thread->deleteLater();
    afterBridge(*report);
  });
  thread->start();
}

void SyncRunner::afterBridge(const BridgeReport& report) {
  report_ = report;
  if (!report.status) {
    finish(report.status.message());
    return;
  }
  if (report.itemsWritten + report.itemsRemoved == 0) {
    finish({});
    return;
  }
  runProgram(
      vdirsyncer_, {QStringLiteral("-c"), paths_.vdirsyncerConfig, QStringLiteral("sync")}, {},
      [this](bool ok, const QString& output) {
        // The data file is in step already; what did not reach the server goes with
        // the next sync.
        finish(ok ? QString()
                  : syncFailureReason(output, settings_) +
                        QStringLiteral("データファイルでの変更は、次の同期でサーバーに送ります。"));
      });
}

void SyncRunner::finish(const QString& error) {
  running_ = false;
  lock_.reset();
  LastSync last = readLastSync(paths_);
  last.when = QDateTime::currentDateTime();
  last.error = error;
  if (error.isEmpty()) last.lastSuccess = last.when;
  writeLastSync(paths_, last);
  SyncOutcome outcome;
  outcome.ok = error.isEmpty();
  outcome.error = error;
  outcome.report = report_;
  emit finished(outcome);
}

QString missingSyncPrograms() {
  QStringList missing;
  if (QStandardPaths::findExecutable(QStringLiteral("vdirsyncer")).isEmpty()) {
    missing << QStringLiteral("vdirsyncer");
  }
  if (QStandardPaths::findExecutable(QStringLiteral("secret-tool")).isEmpty()) {
    missing << QStringLiteral("libsecret-tools");
  }
  return missing.join(u' ');
}

QString conflictMessage(const QStringList& conflicts) {
  if (conflicts.isEmpty()) return {};
  QString text = QStringLiteral(
      "次の予定は、このパソコンと他の機器（サーバー）の両方で変更されていました。"
      "どちらも失わないよう、両方を残しました（もう一方は別の予定になっています）。"
      "いらない方を消してください。\n");
  for (const QString& item : conflicts) text += QStringLiteral("\n・") + item;
  return text;
}
