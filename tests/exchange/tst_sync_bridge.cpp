// The sync's parts that need no server: the bridge between a data file and a folder of items
// (the folder stands for what vdirsyncer brought from the server), changing one field of an
// item, and the texts made from vdirsyncer's output.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "exchange/ItemPatch.h"
#include "exchange/SyncConfig.h"
#include "exchange/VdirBridge.h"
#include "store/Cp932.h"

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

const QString kMarker = QStringLiteral("\"タイマ\",\"\",\"\",0,0");

QByteArray cp932Lines(const QString& text) {
  QByteArray bytes;
  for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
    bytes += encodeCp932(line).value_or("?") + "\r\n";
  }
  return bytes;
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QByteArray itemOf(const QString& uid, const QString& lines) {
  return QStringLiteral(
             "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//Test//EN\r\n"
             "BEGIN:VEVENT\r\nUID:%1\r\nDTSTAMP:20261201T000000Z\r\n%2\r\n"
             "END:VEVENT\r\nEND:VCALENDAR\r\n")
      .arg(uid, QString(lines).replace(QStringLiteral("\n"), QStringLiteral("\r\n")))
      .toUtf8();
}

// The summaries of the folder's items, sorted.
QStringList summaries(const QString& folder) {
  QStringList found;
  for (const QString& name : QDir(folder).entryList({QStringLiteral("*.ics")}, QDir::Files)) {
    const QByteArray bytes = readAll(folder + u'/' + name);
    const qsizetype at = bytes.indexOf("SUMMARY:");
    found << QString::fromUtf8(bytes.mid(at + 8, bytes.indexOf('\r', at) - at - 8));
  }
  found.sort();
  return found;
}

#ifndef Q_OS_WIN
struct stat statOf(const QString& path) {
  struct stat info {};
  ::stat(QFile::encodeName(path).constData(), &info);
  return info;
}

// The same file, not rewritten since: same inode, same time of its last change.
bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
         a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}
#endif

}  // namespace

class SyncBridgeTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    folder_.reset(new QTemporaryDir);
    options_ = BridgeOptions{};
    options_.dataFile = folder_->filePath(QStringLiteral("a.dat"));
    options_.vdir = folder_->filePath(QStringLiteral("vdir"));
    options_.stateFile = folder_->filePath(QStringLiteral("state.json"));
    options_.now = QDateTime(QDate(2026, 12, 9), QTime(12, 0));
    options_.zoneId = "Asia/Tokyo";
    QDir().mkpath(options_.vdir);
  }

  // A run stopped after one of its writes left the rest undone: the next run ends in the same
  // place as an uninterrupted one, with nothing twice on either side.
  void stoppedRunCompletesWithoutDuplicates_data() {
    QTest::addColumn<QString>("lost");  // what the stopped run did not get to write
    QTest::newRow("the state") << QStringLiteral("state");
    QTest::newRow("the state and the items") << QStringLiteral("items");
  }
  void stoppedRunCompletesWithoutDuplicates() {
    QFETCH(QString, lost);
    writeAll(options_.dataFile, cp932Lines(QStringLiteral("\"2026/12/20\",\"朝礼\",\"\",0,0\n"
                                                          "\"2026/12/20\",\"朝礼\",\"\",0,0\n") +
                                           kMarker));
    writeAll(
        options_.vdir + QStringLiteral("/p1.ics"),
        itemOf(QStringLiteral("p1"), QStringLiteral("SUMMARY:電話\nDTSTART;VALUE=DATE:20261215")));
    const BridgeReport first = bridgeVdir(options_);
    QVERIFY2(first.status.isOk(), qPrintable(first.status.message()));
    QCOMPARE(first.recordsAdded, 1);
    QCOMPARE(first.itemsWritten, 2);
    const QByteArray file = readAll(options_.dataFile);
    QCOMPARE(file, cp932Lines(QStringLiteral("\"2026/12/20\",\"朝礼\",\"\",0,0\n"
                                             "\"2026/12/20\",\"朝礼\",\"\",0,0\n"
                                             "\"2026/12/15\",\"電話\",\"\",0,0\n") +
                              kMarker));

    QFile::remove(options_.stateFile);
    if (lost == u"items") {
      for (const QString& name : QDir(options_.vdir).entryList({QStringLiteral("yotenna-*.ics")})) {
        QVERIFY(QFile::remove(options_.vdir + u'/' + name));
      }
    }
    const BridgeReport again = bridgeVdir(options_);
    QVERIFY2(again.status.isOk(), qPrintable(again.status.message()));
    QCOMPARE(readAll(options_.dataFile), file);
    QCOMPARE(again.recordsAdded, 0);
    QCOMPARE(again.itemsWritten, lost == u"items" ? 2 : 0);
    QCOMPARE(summaries(options_.vdir),
             (QStringList{QStringLiteral("朝礼"), QStringLiteral("朝礼"), QStringLiteral("電話")}));
    const BridgeReport settled = bridgeVdir(options_);
    QCOMPARE(settled.itemsWritten + settled.recordsAdded + settled.itemsRemoved, 0);
  }

  // A change in the editor is told from a removal and an addition by its place and by what it
  // kept; the item it changes is the one it stood for.
  void changeKeepsItsItem_data() {
    QTest::addColumn<QString>("after");      // the data file after the user's change
    QTest::addColumn<QString>("changed");    // the item's file that now holds the change
    QTest::addColumn<QStringList>("items");  // summaries of the folder afterwards
    const QString before = QStringLiteral(
        "\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/"
        "19\",\"B\",\"\",0,0\n");
    QTest::newRow("the second of two identical entries")
        << QStringLiteral(
               "\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/20\",\"A2\",\"\",0,0\n"
               "\"2026/12/19\",\"B\",\"\",0,0\n") +
               kMarker
        << QStringLiteral("a2.ics")
        << QStringList{QStringLiteral("A"), QStringLiteral("A2"), QStringLiteral("B")};
    QTest::newRow("one of two identical entries removed, the other marked")
        << QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/19\",\"B\",\"\",1,0\n") +
               kMarker
        << QStringLiteral("b.ics") << QStringList{QStringLiteral("A"), QStringLiteral("B")};
    QTest::newRow("a removal and an unlike addition in one place")
        << QStringLiteral(
               "\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/20\",\"A\",\"\",0,0\n"
               "\"2026/12/18\",\"C\",\"x\",0,0\n") +
               kMarker
        << QString() << QStringList{QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("C")};
    Q_UNUSED(before);
  }
  void changeKeepsItsItem() {
    QFETCH(QString, after);
    QFETCH(QString, changed);
    QFETCH(QStringList, items);
    // The three items as a server holds them, matched to the records by a first run.
    writeAll(options_.dataFile, cp932Lines(kMarker));
    writeAll(options_.vdir + QStringLiteral("/a1.ics"),
             itemOf(QStringLiteral("a1"), QStringLiteral("SUMMARY:A\nDTSTART;VALUE=DATE:20261220\n"
                                                         "LOCATION:one")));
    writeAll(options_.vdir + QStringLiteral("/a2.ics"),
             itemOf(QStringLiteral("a2"), QStringLiteral("SUMMARY:A\nDTSTART;VALUE=DATE:20261220\n"
                                                         "LOCATION:two")));
    writeAll(options_.vdir + QStringLiteral("/b.ics"),
             itemOf(QStringLiteral("b"), QStringLiteral("SUMMARY:B\nDTSTART;VALUE=DATE:20261219")));
    QVERIFY(bridgeVdir(options_).status.isOk());
    QCOMPARE(
        readAll(options_.dataFile),
        cp932Lines(QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/20\",\"A\",\"\",0,0\n"
                                  "\"2026/12/19\",\"B\",\"\",0,0\n") +
                   kMarker));
    QMap<QString, QByteArray> before;
    for (const QString& name : QDir(options_.vdir).entryList({QStringLiteral("*.ics")})) {
      before[name] = readAll(options_.vdir + u'/' + name);
    }

    writeAll(options_.dataFile, cp932Lines(after));
    const BridgeReport report = bridgeVdir(options_);
    QVERIFY2(report.status.isOk(), qPrintable(report.status.message()));
    QCOMPARE(summaries(options_.vdir), items);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
      const QByteArray now = readAll(options_.vdir + u'/' + it.key());
      if (it.key() == changed) {
        QVERIFY2(now != it.value(), qPrintable(it.key()));
        QVERIFY2(now.contains("UID:" + it.key().chopped(4).toLatin1()), now.constData());
      }
    }
  }

  // Only the fields that changed are written; what this program cannot show stays.
  void patchWritesOnlyChangedFields_data() {
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("present");  // lines the item must hold afterwards
    QTest::addColumn<QStringList>("absent");
    const QString before = QStringLiteral("\"2026/12/15\",\"夕食〓\",\"寿司\",0,0");
    QTest::newRow("marked finished")
        << QStringLiteral("\"2026/12/15\",\"夕食〓\",\"寿司\",1,0")
        << QStringList{QStringLiteral("SUMMARY:夕食🍣"),
                       QStringLiteral("X-YOTENNA-FINISHED:1"),
                       QStringLiteral("DESCRIPTION:寿司と天ぷら、六人"),
                       QStringLiteral("DTSTART;TZID=Asia/Tokyo:20261215T190000"),
                       QStringLiteral("LOCATION:銀座"),
                       QStringLiteral("TRIGGER:-PT15M")}
        << QStringList{};
    QTest::newRow("moved two days on")
        << QStringLiteral("\"2026/12/17\",\"夕食〓\",\"寿司\",0,0")
        << QStringList{QStringLiteral("SUMMARY:夕食🍣"),
                       QStringLiteral("DTSTART;TZID=Asia/Tokyo:20261217T190000"),
                       QStringLiteral("DTEND;TZID=Asia/Tokyo:20261217T210000")}
        << QStringList{QStringLiteral("X-YOTENNA-FINISHED")};
    QTest::newRow("subject changed")
        << QStringLiteral("\"2026/12/15\",\"夕食会\",\"寿司\",0,0")
        << QStringList{QStringLiteral("SUMMARY:夕食会"),
                       QStringLiteral("DESCRIPTION:寿司と天ぷら、六人")}
        << QStringList{QStringLiteral("🍣")};
    Q_UNUSED(before);
  }
  void patchWritesOnlyChangedFields() {
    QFETCH(QString, after);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const QByteArray item =
        itemOf(QStringLiteral("sushi"),
               QStringLiteral(
                   "SUMMARY:夕食🍣\nLOCATION:銀座\nDESCRIPTION:寿司と天ぷら、六人\n"
                   "DTSTART;TZID=Asia/Tokyo:20261215T190000\n"
                   "DTEND;TZID=Asia/Tokyo:20261215T210000\n"
                   "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:夕食\nTRIGGER:-PT15M\nEND:VALARM"));
    auto record = [](const QString& line) {
      QList<Field> fields;
      for (const QString& part : line.split(u',')) {
        fields << (part.startsWith(u'"') ? Field::text(part.mid(1, part.size() - 2))
                                         : Field::number(part.toInt()));
      }
      return ScheduleRecord::fromFields(fields);
    };
    const std::optional<QByteArray> patched = patchItem(
        item, record(QStringLiteral("\"2026/12/15\",\"夕食〓\",\"寿司\",0,0")), record(after));
    QVERIFY(patched);
    const QString text = QString::fromUtf8(*patched).remove(QStringLiteral("\r\n "));
    for (const QString& line : present) QVERIFY2(text.contains(line), qPrintable(text));
    for (const QString& line : absent) QVERIFY2(!text.contains(line), qPrintable(text));
  }

#ifndef Q_OS_WIN
  // An item is read again only when its file is another one than at the last run; a change
  // there is seen however much of the old file's look it keeps.
  void changeThereIsSeen_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("a new file of the same size, renamed over it") << QStringLiteral("rename");
    QTest::newRow("the same size and modification time") << QStringLiteral("time");
    QTest::newRow("a state from before files were remembered") << QStringLiteral("old state");
  }
  void changeThereIsSeen() {
    QFETCH(QString, how);
    writeAll(options_.dataFile,
             cp932Lines(QStringLiteral("\"2026/12/20\",\"朝礼\",\"\",0,0\n") + kMarker));
    QVERIFY(bridgeVdir(options_).status.isOk());
    const QStringList names = QDir(options_.vdir).entryList({QStringLiteral("*.ics")});
    QCOMPARE(names.size(), 1);
    const QString item = options_.vdir + u'/' + names.front();
    const struct stat before = statOf(item);
    QByteArray bytes = readAll(item);
    QVERIFY(bytes.contains("SUMMARY:朝礼"));
    bytes.replace("SUMMARY:朝礼", "SUMMARY:夕礼");  // as many bytes
    writeAll(item + QStringLiteral(".tmp"), bytes);
    QVERIFY(::rename(QFile::encodeName(item + QStringLiteral(".tmp")).constData(),
                     QFile::encodeName(item).constData()) == 0);
    if (how == u"time") {
      const struct timespec times[2] = {before.st_atim, before.st_mtim};
      QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(item).constData(), times, 0) == 0);
      QCOMPARE(statOf(item).st_size, before.st_size);
    }
    if (how == u"old state") {
      const QByteArray state = readAll(options_.stateFile);
      QVERIFY(state.contains("\"file\":"));
      QJsonObject root = QJsonDocument::fromJson(state).object();
      QJsonArray items;
      for (const QJsonValue& value : root.value(QStringLiteral("items")).toArray()) {
        QJsonObject object = value.toObject();
        object.remove(QStringLiteral("file"));
        items.append(object);
      }
      root.insert(QStringLiteral("items"), items);
      writeAll(options_.stateFile, QJsonDocument(root).toJson());
    }
    const BridgeReport report = bridgeVdir(options_);
    QVERIFY2(report.status.isOk(), qPrintable(report.status.message()));
    QCOMPARE(report.recordsChanged, 1);
    QCOMPARE(readAll(options_.dataFile),
             cp932Lines(QStringLiteral("\"2026/12/20\",\"夕礼\",\"\",0,0\n") + kMarker));
  }

  // A run after one change here rewrites that item alone; a run after none writes nothing, not
  // even its state.
  void oneChangeWritesOneFile() {
    writeAll(options_.dataFile, cp932Lines(QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n"
                                                          "\"2026/12/19\",\"B\",\"\",0,0\n"
                                                          "\"2026/12/18\",\"C\",\"\",0,0\n") +
                                           kMarker));
    QCOMPARE(bridgeVdir(options_).itemsWritten, 3);
    auto stats = [this] {
      QMap<QString, struct stat> found;
      for (const QString& name : QDir(options_.vdir).entryList({QStringLiteral("*.ics")})) {
        found.insert(name, statOf(options_.vdir + u'/' + name));
      }
      found.insert(QStringLiteral("state"), statOf(options_.stateFile));
      return found;
    };
    const QMap<QString, struct stat> first = stats();
    const BridgeReport idle = bridgeVdir(options_);
    QVERIFY(idle.status.isOk());
    QCOMPARE(idle.itemsWritten + idle.recordsChanged, 0);
    const QMap<QString, struct stat> second = stats();
    QCOMPARE(second.keys(), first.keys());
    for (const QString& name : first.keys()) {
      QVERIFY2(sameFile(second[name], first[name]), qPrintable(name));
    }

    writeAll(options_.dataFile, cp932Lines(QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n"
                                                          "\"2026/12/19\",\"B\",\"x\",0,0\n"
                                                          "\"2026/12/18\",\"C\",\"\",0,0\n") +
                                           kMarker));
    const BridgeReport changed = bridgeVdir(options_);
    QVERIFY(changed.status.isOk());
    QCOMPARE(changed.itemsWritten, 1);
    const QMap<QString, struct stat> third = stats();
    QStringList rewritten;
    for (const QString& name : first.keys()) {
      if (!sameFile(third[name], first[name])) rewritten << name;
    }
    QCOMPARE(rewritten.size(), 2);  // the item and the state
    QVERIFY(rewritten.contains(QStringLiteral("state")));
    const QString item = options_.vdir + u'/' + rewritten.value(rewritten.front() == u"state");
    QVERIFY2(readAll(item).contains("DESCRIPTION:x"), qPrintable(item));
    // Once more, and nothing changes: the state remembers the new file.
    const BridgeReport settled = bridgeVdir(options_);
    QCOMPARE(settled.itemsWritten + settled.recordsChanged, 0);
    QVERIFY(sameFile(statOf(options_.stateFile), third[QStringLiteral("state")]));
  }
#endif

  void failureReasons_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password")
        << QStringLiteral(
               "error: Unknown error occurred: 401, message='Unauthorized', "
               "url=URL('https://cal.example.org/')")
        << QStringLiteral(
               "サーバー cal.example.org がユーザー名「hanako」とパスワードを受け付けません。"
               "ユーザー名とパスワードを確かめてください。");
    QTest::newRow("unreachable")
        << QStringLiteral(
               "error: Unknown error occurred: Cannot connect to host cal.example.org:443 "
               "ssl:default [Connect call failed]")
        << QStringLiteral(
               "サーバー cal.example.org につながりません。ネットワークとサーバーの URL "
               "を確かめてください。");
    QTest::newRow("certificate")
        << QStringLiteral(
               "error: Cannot connect to host cal.example.org:443 ssl:True "
               "[SSLCertVerificationError: (1, '[SSL: CERTIFICATE_VERIFY_FAILED] "
               "certificate verify failed: self-signed certificate')]")
        << QStringLiteral(
               "サーバー cal.example.org の証明書を確かめられないため、つなぎませんでした"
               "（証明書が正しくないか、自分で作った証明書です）。");
    QTest::newRow("calendar gone")
        << QStringLiteral("error: Unknown error occurred for yotenna/work: Not Found")
        << QStringLiteral(
               "カレンダー「work」がサーバー cal.example.org に見つかりません"
               "（消されたか、名前が変わったのかもしれません）。");
    QTest::newRow("server error")
        << QStringLiteral("error: 503, message='Service Unavailable', url=URL('https://x/')")
        << QStringLiteral(
               "サーバー cal.example.org がエラーを返しました（503 Service Unavailable）。"
               "しばらくしてから、もう一度同期してください。");
    QTest::newRow("anything else")
        << QStringLiteral("warning: something\nerror: Something odd\nerror: Use `-vdebug` to see")
        << QStringLiteral("vdirsyncer が失敗しました（error: Something odd）。");
  }
  void failureReasons() {
    QFETCH(QString, output);
    QFETCH(QString, reason);
    const SyncSettings settings{QStringLiteral("https://cal.example.org/dav/"),
                                QStringLiteral("hanako"), QStringLiteral("work")};
    QCOMPARE(syncFailureReason(output, settings), reason);
  }

  void discoveredCalendars() {
    const QString output = QStringLiteral(
        "Discovering collections for pair yotenna\nyotenna_vdir:\n  - \"old\"\n"
        "yotenna_server:\n  - \"work\" (\"仕事\")\n  - \"home\"\n"
        "warning: No collection \"work\" found for storage yotenna_vdir.\n");
    QCOMPARE(parseDiscoveredCalendars(output),
             (QList<DiscoveredCalendar>{{QStringLiteral("work"), QStringLiteral("仕事")},
                                        {QStringLiteral("home"), QString()}}));
  }

  void plainHttp_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("warned");
    QTest::newRow("https") << QStringLiteral("https://cal.example.org/") << false;
    QTest::newRow("http to another machine") << QStringLiteral("http://cal.example.org/") << true;
    QTest::newRow("http to this machine") << QStringLiteral("http://127.0.0.1:5232/") << false;
    QTest::newRow("localhost") << QStringLiteral("http://localhost:5232/") << false;
  }
  void plainHttp() {
    QFETCH(QString, url);
    QFETCH(bool, warned);
    QCOMPARE(!plainHttpWarning(url).isEmpty(), warned);
  }

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  BridgeOptions options_;
};

QTEST_GUILESS_MAIN(SyncBridgeTest)
#include "tst_sync_bridge.moc"
