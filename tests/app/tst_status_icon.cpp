// The status icon on a desktop that has a tray: a fake StatusNotifierWatcher on a private
// session bus (dbus-run-session), in a process of its own (this program, started with
// --fake-watcher), reads what the icon publishes and clicks it, as a panel would.
// Run under Xvfb with the xcb platform: Qt's StatusNotifierItem comes with its desktop themes.
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/DesktopIntegration.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/StatusIcon.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

void say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

QVariant itemProperty(const QString& service, const QString& name) {
  QDBusMessage get = QDBusMessage::createMethodCall(
      service, QStringLiteral("/StatusNotifierItem"),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << kItemInterface << name;
  const QDBusMessage reply = QDBusConnection::sessionBus().call(get);
  if (reply.type() != QDBusMessage::ReplyMessage) return {};
  return reply.arguments().value(0).value<QDBusVariant>().variant();
}

}  // namespace

// The panel's side: the watcher that items register with.
class FakeWatcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
  Q_PROPERTY(int ProtocolVersion READ protocolVersion)
  Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

 public:
  bool hostRegistered() const { return true; }
  int protocolVersion() const { return 0; }
  QStringList items() const { return items_; }

 public slots:
  void RegisterStatusNotifierItem(const QString& service) {
    items_ << service;
    say(QStringLiteral("registered"));
    report(service);
  }
  void RegisterStatusNotifierHost(const QString&) {}

  // Commands from the test on standard input: "tooltip", "activate".
  void command(const QString& line) {
    const QString service = items_.value(0);
    if (line == u"tooltip") {
      report(service);
    } else if (line == u"activate") {
      QDBusMessage activate =
          QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                         kItemInterface, QStringLiteral("Activate"));
      activate << 10 << 10;
      QDBusConnection::sessionBus().call(activate, QDBus::NoBlock);
      say(QStringLiteral("activated"));
    }
  }

 private:
  void report(const QString& service) {
    // ToolTip is (icon name, icon pixmaps, title, text).
    const QVariant toolTip = itemProperty(service, QStringLiteral("ToolTip"));
    QString title;
    QString text;
    if (toolTip.canConvert<QDBusArgument>()) {
      const QDBusArgument argument = toolTip.value<QDBusArgument>();
      QString iconName;
      argument.beginStructure();
      argument >> iconName;
      argument.beginArray();
      while (!argument.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray pixels;
        argument.beginStructure();
        argument >> width >> height >> pixels;
        argument.endStructure();
      }
      argument.endArray();
      argument >> title >> text;
      argument.endStructure();
    }
    say(QStringLiteral("tooltip %1|%2").arg(title, text));
    say(QStringLiteral("icon %1").arg(
        itemProperty(service, QStringLiteral("IconName")).toString()));
  }

  QStringList items_;
};

int runFakeWatcher(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  FakeWatcher watcher;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
      !bus.registerService(kWatcherService)) {
    say(QStringLiteral("cannot register"));
    return 1;
  }
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &watcher, [&] {
    char line[256];
    const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
    if (n <= 0) {
      QCoreApplication::quit();
      return;
    }
    line[n] = 0;
    for (const QString& command : QString::fromUtf8(line).split(u'\n', Qt::SkipEmptyParts)) {
      watcher.command(command.trimmed());
    }
  });
  say(QStringLiteral("ready"));
  return QCoreApplication::exec();
}

class StatusIconTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QProcess watcher_;

  QString readLine(const QString& prefix) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
      while (watcher_.canReadLine()) {
        const QString line = QString::fromUtf8(watcher_.readLine()).trimmed();
        if (line.startsWith(prefix)) return line;
      }
      QTest::qWait(20);
    }
    return QStringLiteral("<nothing>");
  }

 private slots:
  void initTestCase() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
        QGuiApplication::platformName() != u"xcb") {
      QSKIP("needs a private session bus (dbus-run-session) and an X display (xvfb-run)");
    }
    watcher_.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--fake-watcher")});
    QCOMPARE(readLine(QString()), "ready");
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(kWatcherService));
    QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
  }

  void cleanupTestCase() {
    watcher_.closeWriteChannel();
    watcher_.waitForFinished(3000);
  }

  void theTrayShowsTheNextTimerAndAClickBringsTheWindow() {
    const QString path = dir_.filePath("tray.dat");
    writeBytes(path, kMarkerLine +
                         "\"\x92\xA9\x82\xCC\x8E\x55\x95\xE0\",\"2\",\"\",\"\",\"\","
                         "\"07\",\"30\",\"\"\r\n");
    FakePlatform platform;
    platform.clock = QDateTime(QDate(2026, 12, 9), QTime(7, 0, 30));
    SharedState state;
    AppContext context{state, platform, [] {}};
    Program program(context);
    QVERIFY(program.start(path));
    QVERIFY(program.statusIcon());
    QCOMPARE(readLine(QStringLiteral("tooltip")), "tooltip 次のタイマー 12/09 07:30 朝の散歩|");

    MainWindow* main = program.mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QWidget other;
    other.setWindowTitle(QStringLiteral("another program"));
    other.resize(200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    other.activateWindow();
    QTRY_VERIFY(other.isActiveWindow());
    watcher_.write("activate\n");
    QCOMPARE(readLine(QStringLiteral("activated")), "activated");
    QTRY_VERIFY_WITH_TIMEOUT(main->isActiveWindow(), 10000);
  }
};

int main(int argc, char* argv[]) {
  if (argc > 1 && qstrcmp(argv[1], "--fake-watcher") == 0) return runFakeWatcher(argc, argv);
  QApplication app(argc, argv);
  QApplication::setWindowIcon(applicationIcon());
  StatusIconTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_status_icon.moc"
