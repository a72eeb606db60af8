// Alarms as desktop notifications, against a notification server of the test's own on a
// private session bus (CTest runs this under dbus-run-session): what is sent, what the
// actions do, and that nothing fails or waits without a server.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "alarm/widgets/AlarmController.h"
#include "alarm/widgets/AlarmPopup.h"
#include "alarm/widgets/DesktopNotifications.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "support/TestFiles.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// org.freedesktop.Notifications as a notification daemon offers it, recording the calls.
class FakeNotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString app;
    uint replaces;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout;
  };
  QList<Call> calls;
  QList<uint> closed;
  uint lastId = 40;

 public slots:
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int timeout) {
    calls.append({app, replaces, icon, summary, body, actions, hints, timeout});
    return ++lastId;
  }
  void CloseNotification(uint id) { closed.append(id); }
  QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
};

// The server on a connection of its own, so that the program's calls go through the bus.
struct Server {
  QDBusConnection bus =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
  FakeNotificationServer server;

  Server() {
    bus.registerObject(kPath, &server, QDBusConnection::ExportAllSlots);
    if (!bus.registerService(kService)) qFatal("cannot own %s", qPrintable(kService));
  }
  ~Server() {
    bus.unregisterService(kService);
    bus.unregisterObject(kPath);
  }
  void emitAction(uint id, const QString& key) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
    signal << id << key;
    bus.send(signal);
  }
};

// The test platform, with notifications sent as the desktop sends them.
class BusPlatform : public FakePlatform {
 public:
  DesktopNotifications notes{QDBusConnection::sessionBus()};

  void showAlarmNotification(int alarm, const QString& summary, const QString& body) override {
    FakePlatform::showAlarmNotification(alarm, summary, body);
    notes.show(alarm, summary, body);
  }
  void closeAlarmNotification(int alarm) override {
    FakePlatform::closeAlarmNotification(alarm);
    notes.close(alarm);
  }
  void setAlarmActionHandler(AlarmActionHandler handler) override {
    notes.setActionHandler(std::move(handler));
  }
};

const QByteArray kWake = "\"wake\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n";

struct Session {
  QTemporaryDir dir;
  BusPlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  FakeViews views;
  AlarmController alarms{context, views, {}};

  Session() {
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, kMarkerLine + kWake);
    platform.clock = QDateTime(QDate(2026, 12, 7), QTime(7, 29, 59));
    alarms.tick();
  }
  // The alarm's minute; how long the tick took, in milliseconds.
  qint64 ring() {
    platform.clock = QDateTime(QDate(2026, 12, 7), QTime(7, 30, 0));
    platform.uptime += 1000;
    QElapsedTimer timer;
    timer.start();
    alarms.tick();
    return timer.elapsed();
  }
};

}  // namespace

class AlarmNotificationsTest : public QObject {
  Q_OBJECT

  QTemporaryDir data_;

 private slots:
  void initTestCase() {
    if (!QDBusConnection::sessionBus().isConnected()) {
      QSKIP("no session bus: run under dbus-run-session (ctest does)");
    }
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.yotenna.yotenna"));
    // Icons are looked up under the XDG data folders of the test alone.
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_.filePath("home")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data_.filePath("system")));
  }

  void iconNameFallsBack() {
    QCOMPARE(DesktopNotifications::iconName(), "appointment-soon");
    const QString icon = data_.filePath("system/icons/hicolor/48x48/apps/yotenna.png");
    QVERIFY(QDir().mkpath(QFileInfo(icon).path()));
    writeBytes(icon, "png");
    QCOMPARE(DesktopNotifications::iconName(), "yotenna");
  }

  void dueTimerSendsOneNotification() {
    Server server;
    Session s;
    s.ring();
    QTRY_COMPARE(server.server.calls.size(), 1);
    const FakeNotificationServer::Call call = server.server.calls[0];
    QCOMPARE(call.app, "Yotenna");
    QCOMPARE(call.replaces, 0u);
    QCOMPARE(call.icon, "yotenna");
    QCOMPARE(call.summary, "wake");
    QCOMPARE(call.body, "07:30");
    QCOMPARE(call.actions, QStringList({"stop", "止める", "snooze", "5分後にもう一度"}));
    QCOMPARE(call.hints.value("urgency").metaType(), QMetaType::fromType<uchar>());
    QCOMPARE(call.hints.value("urgency").toInt(), 2);
    QCOMPARE(call.hints.value("desktop-entry").toString(), "io.github.yotenna.yotenna");
    QCOMPARE(call.timeout, 0);
    QVERIFY(s.alarms.popup()->isVisible());
    QTest::qWait(100);
    QCOMPARE(server.server.calls.size(), 1);
  }

  void stopDismisses() {
    Server server;
    Session s;
    s.ring();
    QTRY_COMPARE(server.server.calls.size(), 1);
    QVERIFY(s.platform.soundPlaying);
    server.emitAction(server.server.lastId, "stop");
    QTRY_VERIFY(!s.alarms.popup()->isVisible());
    QVERIFY(!s.platform.soundPlaying);
    QCOMPARE(s.platform.beeps, 0);
    QCOMPARE(s.views.calls, QStringList({"LoadTimerList", "finishRefresh"}));
    QTRY_COMPARE(server.server.closed, QList<uint>{server.server.lastId});
  }

  void snoozeAddsATimer() {
    Server server;
    Session s;
    s.ring();
    QTRY_COMPARE(server.server.calls.size(), 1);
    s.platform.clock = QDateTime(QDate(2026, 12, 7), QTime(7, 58, 10));
    // Another program's notification, and an action this program never offered, change nothing.
    server.emitAction(server.server.lastId + 7, "snooze");
    server.emitAction(server.server.lastId, "default");
    server.emitAction(server.server.lastId, "snooze");
    QTRY_VERIFY(!s.alarms.popup()->isVisible());
    QCOMPARE(readBytes(s.state.CurrentDataFile),
             kMarkerLine + kWake + "\"wake\",\"0\",\"2026\",\"12\",\"07\",\"08\",\"03\",\"\"\r\n");
    QVERIFY(!s.platform.soundPlaying);
  }

  void closedBeforeTheServerAnswered() {
    Server server;
    DesktopNotifications notes{QDBusConnection::sessionBus()};
    notes.show(1, "wake", "07:30");
    notes.close(1);
    QTRY_COMPARE(server.server.closed, QList<uint>{server.server.lastId});
    QCOMPARE(server.server.calls.size(), 1);
  }

  void noServerNothingWaits() {
    // The bus is there, the notification server is not.
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kService));
    Session s;
    const qint64 took = s.ring();
    QVERIFY2(took < 500, qPrintable(QString::number(took)));
    QVERIFY(s.alarms.popup()->isVisible());
    QTest::qWait(200);  // the error reply comes and goes
    s.platform.uptime += AlarmPopup::kGraceMilliseconds;
    QTest::mouseClick(s.alarms.popup()->findChild<QLabel*>("Image1"), Qt::LeftButton);
    QVERIFY(!s.alarms.popup()->isVisible());
    QVERIFY(!s.platform.soundPlaying);
  }

  void noBusNothingWaits() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(data_.path()));
    DesktopNotifications notes;
    QElapsedTimer timer;
    timer.start();
    notes.show(1, "wake", "07:30");
    notes.close(1);
    const qint64 took = timer.elapsed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("XDG_RUNTIME_DIR", runtime);
    QVERIFY2(took < 100, qPrintable(QString::number(took)));
  }
};

QTEST_MAIN(AlarmNotificationsTest)
#include "tst_alarm_notifications.moc"
