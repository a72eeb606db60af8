// Faults during a rewrite: whatever goes wrong, the data file afterwards holds its complete
// old or its complete new contents, and a failure is reported as one.
#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "store/AtomicFile.h"
#include "support/TestFiles.h"

namespace {

const QByteArray kDoneEntry = "\"2001/05/02\",\"done\",\"\",1,1\r\n";
const QByteArray kOldContents = "\"2001/05/03\",\"keep\",\"\",0,0\r\n" + kDoneEntry + kMarkerLine;
const QByteArray kNewContents = "\"2001/05/03\",\"keep\",\"\",0,0\r\n" + kMarkerLine;

struct Run {
  int exitCode = -1;
  bool crashed = false;
  QString output;
};

Run run(const QString& program, const QStringList& arguments) {
  QProcess process;
  // LeakSanitizer cannot work under ptrace; the sanitizer build runs these tools under strace.
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("ASAN_OPTIONS", "detect_leaks=0");
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  process.waitForFinished(60000);
  return {process.exitCode(), process.exitStatus() == QProcess::CrashExit,
          QString::fromLocal8Bit(process.readAll())};
}

const QString kSuffix = QStringLiteral("faulty");

QStringList purgeArguments(const QString& path) {
  return {"--temporary-suffix", kSuffix, "purge", path, "2001-05-03", "2001-05-03T12:00"};
}

Run purge(const QString& path) { return run(STORE_TOOL, purgeArguments(path).mid(2)); }

QString temporaryBeside(const QString& path) {
  return QFileInfo(path).absoluteDir().filePath(kTemporaryFilePrefix + kSuffix);
}

// Runs the purge under strace with a fault injected at a system call, only where the call
// touches the temporary file: the program's other reads and writes go through.
Run purgeWithFault(const QString& path, const QString& injection) {
  // The kernel copies what is kept, on any file system, so that a fault there can be met.
  const QStringList kernelCopy =
      injection.startsWith("copy_file_range") ? QStringList{"--kernel-copy"} : QStringList{};
  return run("strace", QStringList{"-f", "-qq", "-o", "/dev/null", "-P", temporaryBeside(path),
                                   "-e", "inject=" + injection, STORE_TOOL} +
                           kernelCopy + purgeArguments(path));
}

// The files of a folder whose names start with "ダミー００".
QStringList temporaryFiles(const QString& folder) {
  return QDir(folder).entryList({kTemporaryFileName + "*"},
                                QDir::Files | QDir::System | QDir::Hidden);
}

bool haveStrace() { return !QStandardPaths::findExecutable("strace").isEmpty(); }

}  // namespace

class RewriteFaultTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString data_;
  QString temporary_;

 private slots:
  void init() {
    data_ = dir_.filePath("data.dat");
    temporary_ = temporaryBeside(data_);
    writeBytes(data_, kOldContents);
    for (const QString& name : temporaryFiles(dir_.path())) QFile::remove(dir_.filePath(name));
  }

  void cleanRunReplacesTheContents() {
    const Run result = purge(data_);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readBytes(data_), kNewContents);
    QVERIFY(!QFile::exists(temporary_));
  }

  void failedSyncKeepsTheOldFile() {
    if (!haveStrace()) QSKIP("strace is not installed");
    const Run result = purgeWithFault(data_, "fsync:error=EIO");
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(readBytes(data_), kOldContents);
    QVERIFY(!QFile::exists(temporary_));
  }

  void shortOrFailedWriteKeepsTheOldFile_data() {
    QTest::addColumn<QString>("injection");
    QTest::newRow("disk full") << "write:error=ENOSPC";
    QTest::newRow("i/o error") << "write:error=EIO";
    QTest::newRow("close fails") << "close:error=EIO";
    QTest::newRow("rename fails") << "rename:error=EXDEV";
  }
  void shortOrFailedWriteKeepsTheOldFile() {
    if (!haveStrace()) QSKIP("strace is not installed");
    QFETCH(QString, injection);
    const Run result = purgeWithFault(data_, injection);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.output.contains("元のデータはそのまま"), qUtf8Printable(result.output));
    QCOMPARE(readBytes(data_), kOldContents);
    QVERIFY(!QFile::exists(temporary_));
  }

  // What a save keeps goes to the temporary file through copy_file_range: killed there, the
  // old file stays; refused as the kernel refuses where it cannot copy, the save copies by read
  // and write and succeeds; any other error fails it.
  void kernelCopyFaults_data() {
    QTest::addColumn<QString>("injection");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("killed") << "copy_file_range:signal=KILL"
                            << "old";
    for (const char* refusal : {"EXDEV", "EINVAL", "ENOSYS", "EOPNOTSUPP"}) {
      QTest::newRow(refusal) << QStringLiteral("copy_file_range:error=%1").arg(refusal) << "new";
    }
    QTest::newRow("disk full") << "copy_file_range:error=ENOSPC"
                               << "failed";
    QTest::newRow("i/o error") << "copy_file_range:error=EIO"
                               << "failed";
  }
  void kernelCopyFaults() {
    if (!haveStrace()) QSKIP("strace is not installed");
    QFETCH(QString, injection);
    QFETCH(QString, outcome);
    // 88,000 bytes to keep before the entry the purge takes out: copied by the kernel.
    QByteArray kept;
    for (int i = 0; i < 2000; ++i) kept += "\"2001/05/03\",\"keep-an-entry-here\",\"\",0,0\r\n";
    const QByteArray old = kept + kDoneEntry + kMarkerLine;
    writeBytes(data_, old);
    const Run result = purgeWithFault(data_, injection);
    if (outcome == "new") {
      QVERIFY2(result.exitCode == 0 && !result.crashed, qUtf8Printable(result.output));
      QVERIFY(readBytes(data_) == kept + kMarkerLine);
      QVERIFY(!QFile::exists(temporary_));
      return;
    }
    QVERIFY(readBytes(data_) == old);
    if (outcome == "failed") {
      QCOMPARE(result.exitCode, 1);
      QVERIFY2(result.output.contains("元のデータはそのまま"), qUtf8Printable(result.output));
      QVERIFY(!QFile::exists(temporary_));
    } else {
      QVERIFY(result.exitCode != 0 || result.crashed);
      // The next save removes what the killed one left.
      QCOMPARE(purge(data_).exitCode, 0);
      QVERIFY(readBytes(data_) == kept + kMarkerLine);
      QCOMPARE(temporaryFiles(dir_.path()), QStringList());
    }
  }

  void killedBeforeTheRenameKeepsTheOldFileAndRecovers() {
    if (!haveStrace()) QSKIP("strace is not installed");
    const Run killed = purgeWithFault(data_, "rename:signal=KILL");
    QVERIFY(killed.exitCode != 0 || killed.crashed);
    QCOMPARE(readBytes(data_), kOldContents);
    QVERIFY(QFile::exists(temporary_));
    // The next rewrite makes a file of its own, never reads the leftover, and removes it: no
    // live rewrite holds it.
    const Run next = purge(data_);
    QCOMPARE(next.exitCode, 0);
    QCOMPARE(readBytes(data_), kNewContents);
    QCOMPARE(temporaryFiles(dir_.path()), QStringList());
  }

  // A save of several megabytes asks the disk to start writing as it goes: that request is
  // only a hint, so its failure alone fails nothing, while a save killed there leaves the old
  // file and a sync that fails after it still fails the save.
  void earlyWritebackIsAHint_data() {
    QTest::addColumn<QString>("injection");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("refused") << "sync_file_range:error=EINVAL"
                             << "new";
    QTest::newRow("i/o error") << "sync_file_range:error=EIO"
                               << "new";
    QTest::newRow("killed") << "sync_file_range:signal=KILL"
                            << "old";
    QTest::newRow("then the sync fails") << "fsync:error=EIO"
                                         << "old";
  }
  void earlyWritebackIsAHint() {
    if (!haveStrace()) QSKIP("strace is not installed");
    QFETCH(QString, injection);
    QFETCH(QString, outcome);
    QByteArray kept;
    for (int i = 0; i < 200000; ++i) kept += "\"2001/05/03\",\"keep\",\"\",0,0\r\n";
    const QByteArray old = kept + kDoneEntry + kMarkerLine;
    writeBytes(data_, old);
    const Run result = purgeWithFault(data_, injection);
    if (outcome == "new") {
      QVERIFY2(result.exitCode == 0, qUtf8Printable(result.output));
      QCOMPARE(readBytes(data_), kept + kMarkerLine);
    } else {
      QVERIFY(result.exitCode != 0 || result.crashed);
      QCOMPARE(readBytes(data_), old);
    }
  }

  // A data file may bear the old temporary name (a user kept the records of a crash there): it
  // is replaced like any other, and a failed save leaves it whole.
  void dataFileNamedLikeTheTemporaryFile_data() {
    QTest::addColumn<QString>("injection");
    QTest::newRow("clean") << QString();
    QTest::newRow("disk full") << "write:error=ENOSPC";
    QTest::newRow("sync fails") << "fsync:error=EIO";
  }
  void dataFileNamedLikeTheTemporaryFile() {
    QFETCH(QString, injection);
    const QString path = dir_.filePath(kTemporaryFileName);
    writeBytes(path, kOldContents);
    if (injection.isEmpty()) {
      QCOMPARE(purge(path).exitCode, 0);
      QCOMPARE(readBytes(path), kNewContents);
    } else {
      if (!haveStrace()) QSKIP("strace is not installed");
      const Run result = purgeWithFault(path, injection);
      QCOMPARE(result.exitCode, 1);
      QVERIFY2(result.output.contains("元のデータはそのまま"), qUtf8Printable(result.output));
      QCOMPARE(readBytes(path), kOldContents);
    }
    QCOMPARE(temporaryFiles(dir_.path()), QStringList{kTemporaryFileName});
    QFile::remove(path);
  }

  void immutableDataFileIsLeftAlone() {
    if (::geteuid() != 0) QSKIP("chattr needs root");
    if (run("chattr", {"+i", data_}).exitCode != 0) QSKIP("chattr +i is not supported here");
    const Run result = purge(data_);
    run("chattr", {"-i", data_});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(readBytes(data_), kOldContents);
    QVERIFY(!QFile::exists(temporary_));
  }

  // Runs the purge as an unprivileged user, where permission bits count.
  void permissionsAsAnotherUser_data() {
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("fileWritable");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("folder not writable") << false << true << false;
    QTest::newRow("data file read-only") << true << false << false;
    QTest::newRow("both writable") << true << true << true;
  }
  void permissionsAsAnotherUser() {
    if (::geteuid() != 0) QSKIP("needs root to switch users");
    if (QStandardPaths::findExecutable("setpriv").isEmpty()) QSKIP("setpriv is not installed");
    QFETCH(bool, folderWritable);
    QFETCH(bool, fileWritable);
    QFETCH(bool, succeeds);
    const QString folder = dir_.filePath("user");
    QDir().mkpath(folder);
    const QString path = folder + "/data.dat";
    writeBytes(path, kOldContents);
    const QByteArray folderName = QFile::encodeName(folder);
    const QByteArray fileName = QFile::encodeName(path);
    QCOMPARE(::chown(folderName.constData(), 65534, 65534), 0);
    QCOMPARE(::chown(fileName.constData(), 65534, 65534), 0);
    QCOMPARE(::chmod(folderName.constData(), folderWritable ? 0755 : 0555), 0);
    QCOMPARE(::chmod(fileName.constData(), fileWritable ? 0644 : 0444), 0);
    // The temporary folder itself must be reachable by that user.
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
    const Run result =
        run("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", STORE_TOOL} +
                           purgeArguments(path));
    QCOMPARE(result.exitCode == 0, succeeds);
    QCOMPARE(readBytes(path), succeeds ? kNewContents : kOldContents);
    QVERIFY(temporaryFiles(folder).isEmpty());
    if (!succeeds) QVERIFY2(result.output.contains("data.dat"), qPrintable(result.output));
    struct stat info {};
    ::stat(fileName.constData(), &info);
    QCOMPARE(info.st_mode & 07777, mode_t(fileWritable ? 0644 : 0444));
    ::chmod(folderName.constData(), 0755);
  }

  void fullDiskKeepsTheOldFile() {
    if (::geteuid() != 0) QSKIP("mounting a small tmpfs needs root");
    const QString mountPoint = dir_.filePath("small");
    QDir().mkpath(mountPoint);
    if (run("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint}).exitCode != 0) {
      QSKIP("cannot mount a tmpfs here");
    }
    const QString path = mountPoint + "/data.dat";
    // 40 KiB of entries to keep, plus one to purge: the new copy does not fit beside the old.
    QByteArray big;
    for (int i = 0; i < 1000; ++i) big += "\"2001/05/03\",\"keep-an-entry-here\",\"\",0,0\r\n";
    const QByteArray old = big + kDoneEntry + kMarkerLine;
    writeBytes(path, old);
    const Run result = purge(path);
    const QByteArray after = readBytes(path);
    const bool temporaryLeft = !temporaryFiles(mountPoint).isEmpty();
    run("umount", {mountPoint});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.output.contains("空き容量"), qPrintable(result.output));
    QCOMPARE(after, old);
    QVERIFY(!temporaryLeft);
  }
};

QTEST_GUILESS_MAIN(RewriteFaultTest)
#include "tst_rewrite_faults.moc"
