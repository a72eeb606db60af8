// Two-way sync with real parts: a Radicale server on loopback (behind a proxy that can make it
// fail), vdirsyncer, a keyring's Secret Service on the private session bus this test runs on,
// python3-caldav as the phone, and the program itself through `yotenna --sync-setup` and
// `yotenna --sync`. Skipped where one of them is not installed.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <csignal>

#include "store/Cp932.h"
#include "support/SyncParts.h"

using synctesting::Run;
using synctesting::SyncParts;

namespace {

const QString kMarker = QStringLiteral("\"タイマ\",\"\",\"\",0,0");

// A data file from lines of text: CP932, CR LF.
QByteArray dataFileBytes(const QString& text) {
  QByteArray bytes;
  for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
    bytes += encodeCp932(line).value_or(QByteArray("?")) + "\r\n";
  }
  return bytes;
}

QString dataFileText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("(unreadable)");
  return decodeCp932(file.readAll()).remove(u'\r');
}

}  // namespace

class SyncTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void scenarios_data();
  void scenarios();

 private:
  Run yotenna(const QStringList& arguments, const QByteArray& input = {}) {
    return parts_.run(QStringLiteral(YOTENNA_BIN), arguments, input);
  }
  Run phone(const QString& calendar, const QStringList& arguments, const QByteArray& input = {}) {
    return parts_.phone(QStringLiteral(SYNC_PHONE), calendar, arguments, input);
  }
  QStringList serverLines(const QString& calendar);

  SyncParts parts_;
  QString account_;
  bool ready_ = false;
};

void SyncTest::initTestCase() {
  if (const QString missing = parts_.missing(); !missing.isEmpty()) {
    QSKIP(qPrintable(missing + QStringLiteral(" is missing")));
  }
  if (parts_
          .run(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"), QStringLiteral("import caldav")})
          .code != 0) {
    QSKIP("python3-caldav is not installed");
  }
  const QString error = parts_.start(QStringLiteral(SYNC_PROXY));
  QVERIFY2(error.isEmpty(), qPrintable(error));
  ready_ = true;
}

void SyncTest::cleanupTestCase() { parts_.stop(); }

// Each server event as SUMMARY|DTSTART|X-YOTENNA-FINISHED|LOCATION|DESCRIPTION|alarms, sorted.
QStringList SyncTest::serverLines(const QString& calendar) {
  const Run listed = phone(calendar, {QStringLiteral("list")});
  if (listed.code != 0) return {QStringLiteral("(list failed: %1)").arg(listed.err)};
  QStringList lines;
  for (const QJsonValue& value : QJsonDocument::fromJson(listed.out.toUtf8()).array()) {
    const QJsonObject event = value.toObject();
    auto field = [&event](const char* name) { return event.value(QLatin1String(name)).toString(); };
    lines << QStringList{field("SUMMARY"),
                         field("DTSTART"),
                         field("X-YOTENNA-FINISHED"),
                         field("LOCATION"),
                         field("DESCRIPTION"),
                         QString::number(event.value(QStringLiteral("ALARMS")).toInt())}
                 .join(u'|');
  }
  lines.sort();
  return lines;
}

namespace {

// An event of these lines; lines that begin with their own BEGIN: are another kind of item.
QByteArray phoneEvent(const QString& body) {
  const QString item =
      body.startsWith(QStringLiteral("BEGIN:"))
          ? body
          : QStringLiteral("BEGIN:VEVENT\nDTSTAMP:20261201T000000Z\n%1\nEND:VEVENT").arg(body);
  return QStringLiteral(
             "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//Test//EN\r\n%1\r\n"
             "END:VCALENDAR\r\n")
      .arg(QString(item).replace(QStringLiteral("\n"), QStringLiteral("\r\n")))
      .toUtf8();
}

const QString kLongDescription =
    QStringLiteral("寿司と天ぷらの店。予約は七時、六人。").repeated(10) +
    QStringLiteral("一二三四五六七八九十一二三四五六七八九十");

}  // namespace

void SyncTest::scenarios_data() {
  QTest::addColumn<QString>("file0");        // the data file before the first sync
  QTest::addColumn<QStringList>("phone0");   // events the phone adds before it
  QTest::addColumn<QString>("file1");        // the data file as the user leaves it after it
  QTest::addColumn<QStringList>("phone1");   // what the phone does after it
  QTest::addColumn<QString>("fault");        // kill (first sync), 500 or password (second)
  QTest::addColumn<QString>("file2");        // the data file at the end
  QTest::addColumn<QStringList>("server2");  // the server at the end
  QTest::addColumn<QString>("conflict");     // a text the conflict message names

  const QString m = kMarker;
  QTest::newRow("first sync: a file into an empty calendar")
      << QStringLiteral(
             "\"2026/12/24\",\"クリスマス\",\"ケーキ～\",0,0\n"
             "\"2026/12/10\",\"会議\",\"\",1,0\n") +
             m + QStringLiteral("\n\"歯医者\",\"0\",\"2027\",\"01\",\"05\",\"07\",\"30\",\"\"\n")
      << QStringList{} << QString() << QStringList{} << QString()
      << QStringLiteral(
             "\"2026/12/24\",\"クリスマス\",\"ケーキ～\",0,0\n"
             "\"2026/12/10\",\"会議\",\"\",1,0\n") +
             m + QStringLiteral("\n\"歯医者\",\"0\",\"2027\",\"01\",\"05\",\"07\",\"30\",\"\"\n")
      << QStringList{QStringLiteral("クリスマス|20261224|0||ケーキ～|0"),
                     QStringLiteral("会議|20261210|1|||0"),
                     QStringLiteral("歯医者|20270105T073000||||1")}
      << QString();

  QTest::newRow("first sync: a calendar into an empty file")
      << m
      << QStringList{QStringLiteral("UID:xmas\nSUMMARY:クリスマス\nDESCRIPTION:ケーキ\n"
                                    "DTSTART;VALUE=DATE:20261224\nDTEND;VALUE=DATE:20261225"),
                     QStringLiteral("UID:meet\nSUMMARY:会議\nLOCATION:本社\n"
                                    "DTSTART;TZID=Asia/Tokyo:20261210T093000\n"
                                    "DTEND;TZID=Asia/Tokyo:20261210T103000")}
      << QString() << QStringList{} << QString()
      << QStringLiteral(
             "\"2026/12/24\",\"クリスマス\",\"ケーキ\",0,0\n"
             "\"2026/12/10\",\"会議\",\"\",0,0\n") +
             m + u'\n'
      << QStringList{QStringLiteral("クリスマス|20261224|||ケーキ|0"),
                     QStringLiteral("会議|20261210T093000||本社||0")}
      << QString();

  QTest::newRow("added on each side")
      << QStringLiteral("\"2026/12/20\",\"忘年会\",\"\",0,0\n") + m << QStringList{}
      << QStringLiteral("\"2026/12/20\",\"忘年会\",\"\",0,0\n\"2026/12/18\",\"散髪\",\"\",0,0\n") +
             m + QStringLiteral("\n\"薬\",\"0\",\"2027\",\"02\",\"01\",\"21\",\"00\",\"\"")
      << QStringList{QStringLiteral("add"),
                     QStringLiteral("UID:p1\nSUMMARY:大掃除\nDTSTART;VALUE=DATE:20261228")}
      << QString()
      << QStringLiteral(
             "\"2026/12/28\",\"大掃除\",\"\",0,0\n\"2026/12/20\",\"忘年会\",\"\",0,0\n"
             "\"2026/12/18\",\"散髪\",\"\",0,0\n") +
             m + QStringLiteral("\n\"薬\",\"0\",\"2027\",\"02\",\"01\",\"21\",\"00\",\"\"\n")
      << QStringList{QStringLiteral("大掃除|20261228||||0"),
                     QStringLiteral("忘年会|20261220|0|||0"), QStringLiteral("散髪|20261218|0|||0"),
                     QStringLiteral("薬|20270201T210000||||1")}
      << QString();

  QTest::newRow("changed on each side")
      << QStringLiteral("\"2026/12/20\",\"忘年会\",\"\",0,0\n\"2026/12/18\",\"散髪\",\"\",0,0\n") +
             m
      << QStringList{}
      << QStringLiteral(
             "\"2026/12/21\",\"忘年会\",\"駅前\",0,0\n\"2026/12/18\",\"散髪\",\"\",0,0\n") +
             m
      << QStringList{QStringLiteral("change"), QStringLiteral("散髪"), QStringLiteral("SUMMARY"),
                     QStringLiteral("床屋")}
      << QString()
      << QStringLiteral(
             "\"2026/12/21\",\"忘年会\",\"駅前\",0,0\n\"2026/12/18\",\"床屋\",\"\",0,0\n") +
             m + u'\n'
      << QStringList{QStringLiteral("床屋|20261218|0|||0"),
                     QStringLiteral("忘年会|20261221|0||駅前|0")}
      << QString();

  QTest::newRow("deleted on each side")
      << QStringLiteral(
             "\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/19\",\"B\",\"\",0,0\n"
             "\"2026/12/18\",\"C\",\"\",0,0\n") +
             m
      << QStringList{}
      << QStringLiteral("\"2026/12/19\",\"B\",\"\",0,0\n\"2026/12/18\",\"C\",\"\",0,0\n") + m
      << QStringList{QStringLiteral("delete"), QStringLiteral("C")} << QString()
      << QStringLiteral("\"2026/12/19\",\"B\",\"\",0,0\n") + m + u'\n'
      << QStringList{QStringLiteral("B|20261219|0|||0")} << QString();

  QTest::newRow("both sides change one item")
      << QStringLiteral("\"2026/12/20\",\"忘年会\",\"\",0,0\n") + m << QStringList{}
      << QStringLiteral("\"2026/12/20\",\"忘年会\",\"会費五千円\",0,0\n") + m
      << QStringList{QStringLiteral("change"), QStringLiteral("忘年会"), QStringLiteral("SUMMARY"),
                     QStringLiteral("新年会")}
      << QString()
      << QStringLiteral(
             "\"2026/12/20\",\"忘年会\",\"会費五千円\",0,0\n"
             "\"2026/12/20\",\"新年会\",\"\",0,0\n") +
             m + u'\n'
      << QStringList{QStringLiteral("忘年会|20261220|0||会費五千円|0"),
                     QStringLiteral("新年会|20261220|0|||0")}
      << QStringLiteral("「忘年会」（2026/12/20）");

  QTest::newRow("a phone's item marked 終了 here")
      << m
      << QStringList{QStringLiteral("UID:sushi\nSUMMARY:夕食🍣\nLOCATION:銀座\nDESCRIPTION:") +
                     kLongDescription +
                     QStringLiteral("\nATTENDEE;CN=花子:mailto:hanako@example.org\n"
                                    "DTSTART;TZID=Asia/Tokyo:20261215T190000\n"
                                    "DTEND;TZID=Asia/Tokyo:20261215T210000\n"
                                    "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:夕食\n"
                                    "TRIGGER:-PT15M\nEND:VALARM")}
      << QStringLiteral("\"2026/12/15\",\"夕食〓\",\"") + kLongDescription.left(50) +
             QStringLiteral("\",1,0\n") + m
      << QStringList{} << QString()
      << QStringLiteral("\"2026/12/15\",\"夕食〓\",\"") + kLongDescription.left(50) +
             QStringLiteral("\",1,0\n") + m + u'\n'
      << QStringList{QStringLiteral("夕食🍣|20261215T190000|1|銀座|") + kLongDescription +
                     QStringLiteral("|1")}
      << QString();

  // The sync lists only the kinds of item it takes in: a task comes in as an entry, a journal
  // stays on the server as it is.
  QTest::newRow("a task and a journal from the phone")
      << m
      << QStringList{QStringLiteral("BEGIN:VTODO\nUID:todo1\nDTSTAMP:20261201T000000Z\n"
                                    "SUMMARY:年賀状\nDTSTART;VALUE=DATE:20261226\n"
                                    "DUE;VALUE=DATE:20261226\nEND:VTODO"),
                     QStringLiteral("BEGIN:VJOURNAL\nUID:note1\nDTSTAMP:20261201T000000Z\n"
                                    "SUMMARY:日記\nDTSTART;VALUE=DATE:20261201\nEND:VJOURNAL")}
      << QStringLiteral("\"2026/12/26\",\"年賀状\",\"\",1,0\n") + m << QStringList{} << QString()
      << QStringLiteral("\"2026/12/26\",\"年賀状\",\"\",1,0\n") + m + u'\n'
      << QStringList{QStringLiteral("年賀状|20261226|1|||0"), QStringLiteral("日記|20261201||||0")}
      << QString();

  QTest::newRow("identical entries")
      << QStringLiteral(
             "\"2026/12/20\",\"朝礼\",\"\",0,0\n\"2026/12/20\",\"朝礼\",\"\",0,0\n"
             "\"2026/12/19\",\"朝礼\",\"\",0,0\n") +
             m
      << QStringList{}
      << QStringLiteral("\"2026/12/20\",\"朝礼\",\"\",0,0\n\"2026/12/19\",\"朝礼\",\"\",1,0\n") + m
      << QStringList{} << QString()
      << QStringLiteral("\"2026/12/20\",\"朝礼\",\"\",0,0\n\"2026/12/19\",\"朝礼\",\"\",1,0\n") +
             m + u'\n'
      << QStringList{QStringLiteral("朝礼|20261219|1|||0"), QStringLiteral("朝礼|20261220|0|||0")}
      << QString();

  QString many;
  QStringList manyLines;
  for (int day = 28; day >= 20; --day) {
    many += QStringLiteral("\"2026/11/%1\",\"予定%1\",\"\",0,0\n").arg(day);
    manyLines << QStringLiteral("予定%1|202611%1|0|||0").arg(day);
  }
  manyLines << QStringLiteral("電話1|20261101||||0") << QStringLiteral("電話2|20261102||||0");
  manyLines.sort();
  QTest::newRow("a sync killed half-way, then run again")
      << many + m
      << QStringList{QStringLiteral("UID:t1\nSUMMARY:電話1\nDTSTART;VALUE=DATE:20261101"),
                     QStringLiteral("UID:t2\nSUMMARY:電話2\nDTSTART;VALUE=DATE:20261102")}
      << QString() << QStringList{} << QStringLiteral("kill")
      << many +
             QStringLiteral(
                 "\"2026/11/02\",\"電話2\",\"\",0,0\n\"2026/11/01\",\"電話1\",\"\",0,0\n") +
             m + u'\n'
      << manyLines << QString();

  QTest::newRow("the server answers 500")
      << QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n") + m << QStringList{}
      << QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/19\",\"B\",\"\",0,0\n") + m
      << QStringList{} << QStringLiteral("500")
      << QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n\"2026/12/19\",\"B\",\"\",0,0\n") + m +
             u'\n'
      << QStringList{QStringLiteral("A|20261220|0|||0"), QStringLiteral("B|20261219|0|||0")}
      << QString();

  QTest::newRow("a wrong password")
      << QStringLiteral("\"2026/12/20\",\"A\",\"\",0,0\n") + m << QStringList{}
      << QStringLiteral("\"2026/12/20\",\"A2\",\"\",0,0\n") + m
      << QStringList{QStringLiteral("add"),
                     QStringLiteral("UID:w1\nSUMMARY:W\nDTSTART;VALUE=DATE:20261201")}
      << QStringLiteral("password")
      << QStringLiteral("\"2026/12/20\",\"A2\",\"\",0,0\n\"2026/12/01\",\"W\",\"\",0,0\n") + m +
             u'\n'
      << QStringList{QStringLiteral("A2|20261220|0|||0"), QStringLiteral("W|20261201||||0")}
      << QString();

  QTest::newRow("a timer that rang and an entry the tidy-up removed")
      << QStringLiteral("\"2026/12/20\",\"残す\",\"\",0,0\n\"2020/01/01\",\"古い\",\"\",1,1\n") +
             m + QStringLiteral("\n\"鳴った\",\"0\",\"2020\",\"01\",\"01\",\"07\",\"00\",\"\"")
      << QStringList{} << QStringLiteral("\"2026/12/20\",\"残す\",\"\",0,0\n") + m << QStringList{}
      << QString() << QStringLiteral("\"2026/12/20\",\"残す\",\"\",0,0\n") + m + u'\n'
      << QStringList{QStringLiteral("残す|20261220|0|||0"),
                     QStringLiteral("鳴った|20200101T070000||||1")}
      << QString();
}

void SyncTest::scenarios() {
  QFETCH(QString, file0);
  QFETCH(QStringList, phone0);
  QFETCH(QString, file1);
  QFETCH(QStringList, phone1);
  QFETCH(QString, fault);
  QFETCH(QString, file2);
  QFETCH(QStringList, server2);
  QFETCH(QString, conflict);
  QVERIFY(ready_);

  static int row = 0;
  const QString calendar = QStringLiteral("row%1").arg(++row);
  const QString dataFile = parts_.path(calendar + QStringLiteral(".dat"));
  {
    QFile file(dataFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(dataFileBytes(file0));
  }
  QCOMPARE(phone(calendar, {QStringLiteral("make")}).code, 0);
  for (const QString& body : phone0) {
    const Run added = phone(calendar, {QStringLiteral("add")}, phoneEvent(body));
    QVERIFY2(added.code == 0, qPrintable(added.err));
  }

  const Run setup =
      yotenna({QStringLiteral("--sync-setup"), dataFile, QStringLiteral("--url"), parts_.url(),
               QStringLiteral("--user"), SyncParts::kUser, QStringLiteral("--password-stdin"),
               QStringLiteral("--calendar"), calendar},
              (SyncParts::kPassword + u'\n').toUtf8());
  QVERIFY2(setup.code == 0, qPrintable(setup.err));
  // The keyring account the setup stored the password under.
  const QStringList folders = QDir(parts_.path(QStringLiteral("config/yotenna/sync")))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& folder : folders) {
    if (folder.startsWith(calendar + u'-')) account_ = folder;
  }
  QVERIFY(!account_.isEmpty());

  QString conflicts;
  const QStringList syncArguments{QStringLiteral("--sync"), dataFile};
  if (fault == u"kill") {
    // Stopped at several moments of the first sync, each time with everything it started.
    for (int delay : {300, 900, 1600}) {
      QProcess stopped;
      stopped.setProcessEnvironment(parts_.environment());
      stopped.start(QStringLiteral("setsid"),
                    QStringList{QStringLiteral(YOTENNA_BIN)} + syncArguments);
      QVERIFY(stopped.waitForStarted());
      QThread::msleep(static_cast<unsigned long>(delay));
      ::kill(-static_cast<pid_t>(stopped.processId()), SIGKILL);
      stopped.waitForFinished();
      QThread::msleep(100);
    }
  }
  const Run first = yotenna(syncArguments);
  QVERIFY2(first.code == 0, qPrintable(first.err));
  conflicts += first.out;

  if (!file1.isEmpty()) {
    QFile file(dataFile);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(dataFileBytes(file1));
  }
  if (!phone1.isEmpty()) {
    const QByteArray input = phone1.front() == u"add" ? phoneEvent(phone1.value(1)) : QByteArray();
    const QStringList arguments =
        phone1.front() == u"add" ? QStringList{QStringLiteral("add")} : phone1;
    const Run done = phone(calendar, arguments, input);
    QVERIFY2(done.code == 0, qPrintable(done.err));
  }

  if (fault == u"500" || fault == u"password") {
    const QByteArray before = dataFileBytes(file1);
    const QStringList serverBefore = serverLines(calendar);
    if (fault == u"500") parts_.setProxyMode(QStringLiteral("500"));
    if (fault == u"password") QVERIFY(parts_.storePassword(account_, QStringLiteral("wrong")));
    const Run failed = yotenna(syncArguments);
    parts_.setProxyMode(QString());
    if (fault == u"password") QVERIFY(parts_.storePassword(account_, SyncParts::kPassword));
    QCOMPARE(failed.code, 1);
    QVERIFY2(failed.err.contains(fault == u"500" ? QStringLiteral("エラーを返しました（500")
                                                 : QStringLiteral("パスワードを受け付けません")),
             qPrintable(failed.err));
    QVERIFY2(failed.err.contains(QStringLiteral("データファイルもサーバーも変えていません")),
             qPrintable(failed.err));
    QFile file(dataFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(serverLines(calendar), serverBefore);
  }

  const Run second = yotenna(syncArguments);
  QVERIFY2(second.code == 0, qPrintable(second.err));
  conflicts += second.out;
  // Everything is in step: a third sync changes nothing on either side.
  const Run third = yotenna(syncArguments);
  QVERIFY2(third.code == 0, qPrintable(third.err));
  QVERIFY2(third.out.contains(
               QStringLiteral("追加 0、変更 0、削除 0 件／サーバー: 書き込み 0、削除 0 件")),
           qPrintable(third.out));

  QCOMPARE(dataFileText(dataFile), file2);
  QCOMPARE(serverLines(calendar), server2);
  if (conflict.isEmpty()) {
    QVERIFY2(!conflicts.contains(QStringLiteral("両方を残しました")), qPrintable(conflicts));
  } else {
    QCOMPARE(conflicts.count(QStringLiteral("両方を残しました")), 1);
    QVERIFY2(conflicts.contains(conflict), qPrintable(conflicts));
  }
  account_.clear();
}

QTEST_GUILESS_MAIN(SyncTest)
#include "tst_sync.moc"
