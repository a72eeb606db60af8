// The single-instance lock in processes of its own (lock_tool): leftovers, a holder that is
// killed, folders planted by another user, and a temporary folder that cannot take the lock.
// The cases with another user need root (setpriv); the full folder needs a tmpfs mount.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/InstanceChannel.h"
#include "app/SingleInstanceLock.h"

namespace {

constexpr uid_t kOtherUser = 4242;
constexpr uid_t kTestUser = 4343;

struct Run {
  QString output;
  QStringList lines() const { return output.split(u'\n', Qt::SkipEmptyParts); }
  QString answer() const { return lines().value(0); }
};

QProcessEnvironment environment(const QString& runtimeDir, const QString& tempDir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  if (!runtimeDir.isEmpty()) env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
  env.insert(QStringLiteral("TMPDIR"), tempDir);
  return env;
}

// Runs lock_tool, as another user when `uid` is set.
Run runTool(const QString& mode, const QProcessEnvironment& env, std::optional<uid_t> uid = {}) {
  QProcess process;
  process.setProcessEnvironment(env);
  if (uid) {
    process.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=%1").arg(*uid), QStringLiteral("--regid=%1").arg(*uid),
                   QStringLiteral("--clear-groups"), QStringLiteral(LOCK_TOOL), mode});
  } else {
    process.start(QStringLiteral(LOCK_TOOL), {mode});
  }
  process.waitForFinished(10000);
  return {QString::fromUtf8(process.readAllStandardOutput())};
}

// Runs a shell command as another user (to plant things under that user's name).
bool runAs(uid_t uid, const QString& command) {
  return QProcess::execute(QStringLiteral("setpriv"),
                           {QStringLiteral("--reuid=%1").arg(uid),
                            QStringLiteral("--regid=%1").arg(uid), QStringLiteral("--clear-groups"),
                            QStringLiteral("sh"), QStringLiteral("-c"), command}) == 0;
}

bool canSwitchUser() {
  return ::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty();
}

int modeOf(const QString& path) {
  struct stat info {};
  if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return -1;
  return static_cast<int>(info.st_mode & 07777);
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  // A private runtime folder of this user's, as a session has.
  QString runtimeFolder(const QString& name) {
    const QString path = dir_.filePath(name);
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  }

 private slots:
  // Other users must reach the folders made inside (QTemporaryDir makes its folder 0700).
  void initTestCase() { QVERIFY(::chmod(QFile::encodeName(dir_.path()).constData(), 0755) == 0); }

  void leftoversDoNotLockAnyoneOut_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("empty, from a crash between creating and filling") << QByteArray();
    QTest::newRow("a dead process id") << QByteArray("999999\nyotenna\nhost\n");
    QTest::newRow("junk") << QByteArray("\xff\xfe garbage");
  }
  void leftoversDoNotLockAnyoneOut() {
    QFETCH(QByteArray, contents);
    const QString runtime = runtimeFolder(QTest::currentDataTag());
    QFile lock(SingleInstanceLock::pathIn(runtime));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(contents);
    lock.close();
    // A socket file left by a copy that died, too.
    QFile socket(InstanceServer::pathIn(runtime));
    QVERIFY(socket.open(QIODevice::WriteOnly));
    socket.close();

    const Run run = runTool(QStringLiteral("try"), environment(runtime, dir_.path()));
    QCOMPARE(run.answer(), "held");
    QCOMPARE(run.lines().value(1), "folder: " + runtime);
  }

  void theLockGoesWithItsProcess() {
    const QString runtime = runtimeFolder(QStringLiteral("killed"));
    const QProcessEnvironment env = environment(runtime, dir_.path());
    QProcess holder;
    holder.setProcessEnvironment(env);
    holder.start(QStringLiteral(LOCK_TOOL), {QStringLiteral("hold")});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), "held");

    QCOMPARE(runTool(QStringLiteral("try"), env).answer(), "busy");
    holder.kill();  // SIGKILL: nothing of the holder's own runs
    QVERIFY(holder.waitForFinished(5000));
    QCOMPARE(runTool(QStringLiteral("try"), env).answer(), "held");
  }

  void withoutSessionFolderAPrivateFolderIsMade() {
    const QString temp = dir_.filePath(QStringLiteral("tmp-fallback"));
    QDir().mkpath(temp);
    const QString expected = temp + QStringLiteral("/yotenna-%1").arg(::geteuid());
    const Run run = runTool(QStringLiteral("try"), environment({}, temp));
    QCOMPARE(run.answer(), "held");
    QCOMPARE(run.lines().value(1), "folder: " + expected);
    QCOMPARE(modeOf(expected), 0700);
    QVERIFY(QFile::exists(expected + QStringLiteral("/yotenna.lock")));
  }

  void aSessionFolderOthersMayEnterIsNotUsed() {
    const QString runtime = dir_.filePath(QStringLiteral("open-runtime"));
    QDir().mkpath(runtime);
    QVERIFY(::chmod(QFile::encodeName(runtime).constData(), 0755) == 0);
    const QString temp = dir_.filePath(QStringLiteral("tmp-open"));
    QDir().mkpath(temp);
    const Run run = runTool(QStringLiteral("try"), environment(runtime, temp));
    QCOMPARE(run.answer(), "held");
    QCOMPARE(run.lines().value(1),
             "folder: " + temp + QStringLiteral("/yotenna-%1").arg(::geteuid()));
    QCOMPARE(modeOf(runtime), 0755);  // not ours to change
    QVERIFY(!QFile::exists(runtime + QStringLiteral("/yotenna.lock")));
  }

  void plantedByAnotherUser_data() {
    QTest::addColumn<QString>("plant");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder") << "mkdir -m 0777 \"$F\""
                            << "は別のユーザー（UID 4242）のものです";
    QTest::newRow("folder closed to us") << "mkdir -m 0700 \"$F\""
                                         << "は別のユーザー（UID 4242）のものです";
    QTest::newRow("link to a folder of ours") << "ln -s \"$T/ours\" \"$F\""
                                              << "はフォルダではありません";
    QTest::newRow("file") << "echo 999999 > \"$F\""
                          << "はフォルダではありません";
  }
  void plantedByAnotherUser() {
    if (!canSwitchUser()) QSKIP("needs root and setpriv to act as other users");
    QFETCH(QString, plant);
    QFETCH(QString, reason);
    // A shared temporary folder like /tmp, without a session folder.
    const QString temp = dir_.filePath(QStringLiteral("shared-%1").arg(QTest::currentDataTag()));
    QDir().mkpath(temp + QStringLiteral("/ours"));
    QVERIFY(::chmod(QFile::encodeName(temp).constData(), 01777) == 0);
    QVERIFY(::chown(QFile::encodeName(temp + QStringLiteral("/ours")).constData(), kTestUser,
                    kTestUser) == 0);
    const QString folder = temp + QStringLiteral("/yotenna-%1").arg(kTestUser);
    QString command = plant;
    command.replace(QStringLiteral("$F"), folder).replace(QStringLiteral("$T"), temp);
    QVERIFY(runAs(kOtherUser, command));

    const Run run = runTool(QStringLiteral("try"), environment({}, temp), kTestUser);
    QVERIFY2(run.answer().startsWith(QStringLiteral("unavailable: 「%1」").arg(folder)) ||
                 run.answer().startsWith(QStringLiteral("unavailable: フォルダ「%1」").arg(folder)),
             qPrintable(run.output));
    QVERIFY2(run.answer().contains(reason), qPrintable(run.output));
  }

  void aTemporaryFolderThatCannotBeWritten() {
    if (!canSwitchUser()) QSKIP("needs root and setpriv to act as another user");
    const QString temp = dir_.filePath(QStringLiteral("read-only-tmp"));
    QDir().mkpath(temp);
    QVERIFY(::chmod(QFile::encodeName(temp).constData(), 0755) == 0);  // root's, closed to us
    const Run run = runTool(QStringLiteral("try"), environment({}, temp), kTestUser);
    QCOMPARE(run.answer(),
             QStringLiteral("unavailable: 「%1/yotenna-%2」を作れません（アクセスが拒否されました"
                            "（書き込み禁止か、権限がありません））")
                 .arg(temp)
                 .arg(kTestUser));
  }

  void aFullTemporaryFolder() {
    if (::geteuid() != 0) QSKIP("needs root to mount a small tmpfs");
    const QString temp = dir_.filePath(QStringLiteral("full-tmp"));
    QDir().mkpath(temp);
    if (::mount("tmpfs", QFile::encodeName(temp).constData(), "tmpfs", 0,
                "size=64k,nr_inodes=8,mode=1777") != 0) {
      QSKIP("cannot mount a tmpfs here");
    }
    // Fill every inode, so that nothing more can be created there.
    for (int i = 0; i < 16; ++i) {
      QFile filler(temp + QStringLiteral("/filler-%1").arg(i));
      if (!filler.open(QIODevice::WriteOnly)) break;
    }
    const Run run = runTool(QStringLiteral("try"), environment({}, temp));
    ::umount(QFile::encodeName(temp).constData());
    QCOMPARE(run.answer(),
             QStringLiteral(
                 "unavailable: 「%1/yotenna-%2」を作れません（ディスクの空き容量が足りません）")
                 .arg(temp)
                 .arg(::geteuid()));
  }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_single_instance.moc"
