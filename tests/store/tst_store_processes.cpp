// Several copies of the program at the same data file or folder, and a hostile folder: no
// change is lost, no record lands in another file, no planted link is followed.
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "store/AtomicFile.h"
#include "store/DataFileScan.h"
#include "store/Rewrite.h"
#include "support/TestFiles.h"

namespace {

QProcess* startTool(const QStringList& arguments, QObject* parent) {
  auto* process = new QProcess(parent);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("ASAN_OPTIONS", "detect_leaks=0");
  process->setProcessEnvironment(environment);
  process->setProcessChannelMode(QProcess::MergedChannels);
  process->start(STORE_TOOL, arguments);
  return process;
}

QStringList subjects(const QString& path) {
  QStringList found;
  const Status status = scanSchedule(path, [&](const ScheduleRecord& record) {
    found << record.Subject.toText();
    return true;
  });
  if (!status) found << "<unreadable>";
  return found;
}

QStringList numbered(const QString& prefix, int count) {
  QStringList names;
  for (int i = 0; i < count; ++i) names << prefix + QString::number(i);
  return names;
}

QStringList sorted(QStringList list) {
  list.sort();
  return list;
}

QStringList temporaryFiles(const QString& folder) {
  return QDir(folder).entryList({kTemporaryFileName + "*"},
                                QDir::Files | QDir::System | QDir::Hidden);
}

}  // namespace

class StoreProcessesTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void twoCopiesAddingAtOnceLoseNothing_data() {
    QTest::addColumn<bool>("sameFile");
    QTest::newRow("one file") << true;
    QTest::newRow("two files in one folder") << false;
  }
  void twoCopiesAddingAtOnceLoseNothing() {
    QFETCH(bool, sameFile);
    QTemporaryDir folder;
    const QString first = folder.filePath("first.dat");
    const QString second = sameFile ? first : folder.filePath("second.dat");
    QVERIFY(createDataFile(first).isOk());
    QVERIFY(createDataFile(second).isOk());

    constexpr int kAdds = 100;
    QProcess* a = startTool({"add", first, "a", QString::number(kAdds)}, this);
    QProcess* b = startTool({"add", second, "b", QString::number(kAdds)}, this);
    QVERIFY(a->waitForFinished(180000));
    QVERIFY(b->waitForFinished(180000));
    QVERIFY2(a->exitCode() == 0, a->readAll().constData());
    QVERIFY2(b->exitCode() == 0, b->readAll().constData());

    if (sameFile) {
      QCOMPARE(sorted(subjects(first)), sorted(numbered("a", kAdds) + numbered("b", kAdds)));
    } else {
      QCOMPARE(sorted(subjects(first)), sorted(numbered("a", kAdds)));
      QCOMPARE(sorted(subjects(second)), sorted(numbered("b", kAdds)));
    }
    QCOMPARE(temporaryFiles(folder.path()), QStringList());
  }

  // A copy that cannot have the lock for five seconds says so and writes nothing.
  void writerGivesUpWhileAnotherCopyHoldsTheLock() {
    const QString path = dir_.filePath("held.dat");
    QVERIFY(createDataFile(path).isOk());
    const QByteArray before = readBytes(path);
    QProcess* holder = startTool({"hold", path, "30000"}, this);
    QVERIFY(holder->waitForReadyRead(10000));
    QCOMPARE(holder->readLine().trimmed(), QByteArray("held"));

    QProcess* writer = startTool({"add", path, "late", "1"}, this);
    QVERIFY(writer->waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(writer->readAll());
    holder->kill();
    holder->waitForFinished();
    QCOMPARE(writer->exitCode(), 1);
    QVERIFY2(output.contains("書き込んでいます") && output.contains("held.dat"),
             qPrintable(output));
    QCOMPARE(readBytes(path), before);
    QCOMPARE(temporaryFiles(dir_.path()), QStringList());
  }

  // Someone who may write in the folder plants links where a save might put its temporary
  // file: the bare old name, and the very name the save tries first. Neither is followed.
  void plantedLinksAreNeverFollowed() {
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("victim.txt");
    const QByteArray victimBytes = "someone else's file\r\n";
    writeBytes(victim, victimBytes);
    QTemporaryDir folder;
    const QString path = folder.filePath("data.dat");
    writeBytes(path, "\"2001/05/02\",\"done\",\"\",1,1\r\n" + kMarkerLine);
    const QString bare = folder.filePath(kTemporaryFileName);
    const QString exact = folder.filePath(kTemporaryFilePrefix + "planted");
    QVERIFY(QFile::link(victim, bare));
    QVERIFY(QFile::link(victim, exact));

    QProcess* tool = startTool(
        {"--temporary-suffix", "planted", "purge", path, "2001-05-03", "2001-05-03T12:00"}, this);
    QVERIFY(tool->waitForFinished(30000));
    QVERIFY2(tool->exitCode() == 0, tool->readAll().constData());

    QCOMPARE(readBytes(path), kMarkerLine);
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(readBytes(victim), victimBytes);
    QVERIFY(QFileInfo(bare).isSymLink());
    QVERIFY(QFileInfo(exact).isSymLink());
  }
};

QTEST_GUILESS_MAIN(StoreProcessesTest)
#include "tst_store_processes.moc"
