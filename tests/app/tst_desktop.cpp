// The program among the desktop's programs: a data file on the command line, one copy that
// comes to the front, start at login, the status icon, the icon and the file dialogs' filters.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListView>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <future>

#include "app/Autostart.h"
#include "app/DesktopIntegration.h"
#include "app/InstanceChannel.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/StartupWindow.h"
#include "app/StatusIcon.h"
#include "support/FakePlatform.h"
#include "support/ProgramSession.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

namespace {

struct Session : ProgramSession {
  Session() { platform.clock = QDateTime(QDate(2026, 12, 9), QTime(7, 0, 30)); }
};

const QByteArray kSanpo("\x92\xA9\x82\xCC\x8E\x55\x95\xE0");  // 朝の散歩

QByteArray dailyTimer(const QByteArray& title, const QByteArray& hour, const QByteArray& minute) {
  return "\"" + title + "\",\"2\",\"\",\"\",\"\",\"" + hour + "\",\"" + minute + "\",\"\"\r\n";
}

// Another window that has the focus, as any other program's window would.
struct OtherWindow {
  QWidget widget;
  OtherWindow() {
    widget.setWindowTitle("other");
    widget.resize(200, 100);
    widget.show();
    widget.activateWindow();
  }
};

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  QString entryPath() const { return dir_.filePath("config/autostart/yotenna.desktop"); }

 private slots:
  void initTestCase() {
    installJapaneseLanguage(*qApp);
    // The autostart entry goes where XDG_CONFIG_HOME says.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath("config")));
  }

  // --- a data file on the command line ---------------------------------------------------

  void commandLineFileOpensStraightIntoTheMainWindowAndIsTidied() {
    Session session;
    const QString path = dir_.filePath("command-line.dat");
    writeBytes(path, "\"2026/12/08\",\"done\",\"\",1,1\r\n\"2026/12/09\",\"today\",\"\",0,0\r\n" +
                         kMarkerLine + dailyTimer("d", "08", "00"));
    QVERIFY(session.program.start(path));
    QVERIFY(session.main() && session.main()->isVisible());
    QVERIFY(!session.program.startupWindow());
    QCOMPARE(session.state.CurrentDataFile, path);
    QCOMPARE(session.state.MonthDays[0], 1);
    QCOMPARE(session.state.SelDay, 9);  // the start-up window's load ran: today is selected
    QCOMPARE(session.platform.openRequests.size(), 0);
    QCOMPARE(session.platform.messages.size(), 0);
    // Tidied as an open from the start-up window tidies, once the window has painted.
    QTRY_COMPARE(readBytes(path), "\"2026/12/09\",\"today\",\"\",0,0\r\n" + kMarkerLine +
                                      dailyTimer("d", "08", "00"));
  }

  void relativeCommandLineFileBecomesAbsolute() {
    Session session;
    const QString path = dir_.filePath("relative.dat");
    writeBytes(path, kMarkerLine);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    const bool started = session.program.start("relative.dat");
    QDir::setCurrent(previous);
    QVERIFY(started);
    QCOMPARE(session.state.CurrentDataFile, path);
  }

  void commandLineFileThatCannotBeReadGivesTheMessageThenTheStartupWindow_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing.dat"
                             << "見つかりません";
    QTest::newRow("a folder") << "folder.dat"
                              << "folder.dat";
  }
  void commandLineFileThatCannotBeReadGivesTheMessageThenTheStartupWindow() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QDir().mkpath(dir_.filePath("folder.dat"));
    Session session;
    QVERIFY(session.program.start(dir_.filePath(name)));
    QVERIFY(!session.main());
    QVERIFY(session.program.startupWindow() && session.program.startupWindow()->isVisible());
    QCOMPARE(session.platform.messages.size(), 1);
    QVERIFY(session.platform.messages[0].text.contains(name));
    QVERIFY2(session.platform.messages[0].text.contains(reason),
             qPrintable(session.platform.messages[0].text));
    QCOMPARE(session.platform.messages[0].icon, MessageIcon::Warning);
    QVERIFY(session.state.CurrentDataFile.isEmpty());
    QCOMPARE(session.state.MonthDays[0], 0);
    QCOMPARE(session.quits, 0);
  }

  // --- one copy ----------------------------------------------------------------------------

  void secondStartTellsTheRunningCopyAndSays_data() {
    QTest::addColumn<QString>("requested");
    QTest::addColumn<std::optional<QString>>("inUse");
    QTest::addColumn<QString>("message");
    const QString a = dir_.filePath("a.dat");
    const QString b = dir_.filePath("b.dat");
    const QString plain = "このアプリケーションはすでに起動しています";
    QTest::newRow("no file") << QString() << std::optional<QString>(a) << plain;
    QTest::newRow("the file in use") << a << std::optional<QString>(a) << plain;
    QTest::newRow("the running copy cannot be reached") << b << std::optional<QString>() << plain;
    QTest::newRow("another file") << b << std::optional<QString>(a)
                                  << plain + "\n\n指定されたデータ「" + b +
                                         "」は開いていません。起動中の Yotenna は「" + a +
                                         "」を使っています。";
    QTest::newRow("the running copy has no file yet")
        << b << std::optional<QString>(QString())
        << plain + "\n\n指定されたデータ「" + b +
               "」は開いていません。起動中の Yotenna はまだデータを開いていません。";
  }
  void secondStartTellsTheRunningCopyAndSays() {
    QFETCH(QString, requested);
    QFETCH(std::optional<QString>, inUse);
    QFETCH(QString, message);
    writeBytes(dir_.filePath("a.dat"), kMarkerLine);
    writeBytes(dir_.filePath("b.dat"), kMarkerLine);
    Session session;
    session.platform.lock.state = InstanceLock::State::AnotherCopyRuns;
    session.platform.runningCopyFile = inUse;
    QVERIFY(!session.program.start(requested));
    QCOMPARE(session.platform.raiseRequests, QStringList{requested});
    QCOMPARE(session.platform.messages.size(), 1);
    QCOMPARE(session.platform.messages[0].text, message);
    QCOMPARE(session.platform.messages[0].icon, MessageIcon::Warning);
    QCOMPARE(session.quits, 1);
    QVERIFY(!session.main());
    QVERIFY(!session.platform.laterCopyHandler);  // a refused copy does not listen
  }

  void aLaterStartBringsTheMainWindowToTheFront() {
    const QString path = dir_.filePath("front.dat");
    writeBytes(path, kMarkerLine);
    Session session;
    QVERIFY(session.program.start(path));
    MainWindow* main = session.main();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    main->showMinimized();
    OtherWindow other;
    QTRY_VERIFY(other.widget.isActiveWindow());

    QVERIFY(session.platform.laterCopyHandler);
    QCOMPARE(session.platform.laterCopyHandler(QString()), path);
    QTRY_VERIFY(main->isActiveWindow());
    QVERIFY(!main->isMinimized());
  }

  void aLaterStartBeforeAFileIsChosenRaisesTheStartupWindow() {
    Session session;
    QVERIFY(session.program.start());
    StartupWindow* startup = session.program.startupWindow();
    QVERIFY(QTest::qWaitForWindowExposed(startup));
    OtherWindow other;
    QTRY_VERIFY(other.widget.isActiveWindow());
    QCOMPARE(session.platform.laterCopyHandler("x.dat"), QString());
    QTRY_VERIFY(startup->isActiveWindow());
  }

  void aLockThatCannotBeMadeIsReportedAndTheProgramStarts() {
    Session session;
    session.platform.lock = {InstanceLock::State::Unavailable,
                             "フォルダ「/tmp/yotenna-1000」は別のユーザー（UID 4242）のものです"};
    QVERIFY(session.program.start());
    QVERIFY(session.program.startupWindow()->isVisible());
    QCOMPARE(session.platform.messages.size(), 1);
    QCOMPARE(session.platform.messages[0].text,
             "二重起動を防ぐためのロックを作れませんでした。\n"
             "フォルダ「/tmp/yotenna-1000」は別のユーザー（UID 4242）のものです\n\n"
             "このまま起動します。");
    QCOMPARE(session.platform.raiseRequests.size(), 0);
  }

  // The socket between a later start and the running copy, for real: the later start's side
  // runs on a thread of its own, as it would in its own process.
  void aLaterStartReachesTheRunningCopyThroughItsSocket() {
    const QString socket = dir_.filePath("yotenna.socket");
    writeBytes(socket, "left by a copy that died");
    InstanceServer server;
    QStringList asked;
    QString error;
    QVERIFY2(server.listen(
                 socket,
                 [&](const QString& file) {
                   asked << file;
                   return QStringLiteral("/home/u/予定.dat");
                 },
                 &error),
             qPrintable(error));

    // A connection that sends nothing sensible is dropped and harms nothing.
    QLocalSocket stray;
    stray.connectToServer(socket);
    QVERIFY(stray.waitForConnected(2000));
    stray.write("GET / HTTP/1.0\r\n\r\n");
    QTRY_COMPARE(stray.state(), QLocalSocket::UnconnectedState);

    auto answer = std::async(std::launch::async,
                             [&] { return askRunningCopy(socket, "/tmp/別のデータ.dat", 5000); });
    while (answer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
      QCoreApplication::processEvents();
    }
    QCOMPARE(answer.get(), std::optional<QString>("/home/u/予定.dat"));
    QCOMPARE(asked, QStringList{"/tmp/別のデータ.dat"});
  }

  void noRunningCopyAnswersNothingAtOnce() {
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(askRunningCopy(dir_.filePath("nobody.socket"), "x", 3000), std::nullopt);
    QVERIFY(timer.elapsed() < 1000);
  }

  // --- start at login ------------------------------------------------------------------------

  void startAtLoginWritesAndRemovesTheEntry() {
    const QString path = dir_.filePath("login data.dat");
    writeBytes(path, kMarkerLine);
    QFile::remove(entryPath());
    Session session;
    QVERIFY(session.program.start(path));
    MainWindow* main = session.main();
    auto* item = main->findChild<QAction*>("autostart");
    QVERIFY(item);
    QCOMPARE(item->text(), "ログイン時に起動する");
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isChecked());
    QVERIFY(item->shortcut().isEmpty());
    // In the ファイル menu, just before 終了.
    const QList<QAction*> file = main->menuBar()->actions().value(0)->menu()->actions();
    QStringList names;
    for (const QAction* action : file) names << action->objectName();
    QCOMPARE(names, QStringList({"new", "open", "tuika", "S1", "icalExport", "icalImport", "S7",
                                 "syncSetup", "syncNow", "S5", "autostart", "S6", "end"}));

    item->trigger();
    QVERIFY(item->isChecked());
    QCOMPARE(autostartEntryPath(), entryPath());
    const QByteArray entry = readBytes(entryPath());
    QVERIFY(entry.startsWith("[Desktop Entry]\nType=Application\n"));
    QVERIFY2(entry.contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + " \"" +
                            path.toUtf8() + "\"\n"),
             entry.constData());
    QVERIFY(entry.contains("\nIcon=yotenna\n"));
    QCOMPARE(autostartDataFile(), path);

    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(!QFile::exists(entryPath()));
    QCOMPARE(session.platform.messages.size(), 0);
  }

  void theItemIsCheckedOnlyForAnEntryOfThisFile_data() {
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("checked");
    const QByteArray file = QFile::encodeName(dir_.filePath("checked.dat"));
    QTest::newRow("this file") << "[Desktop Entry]\nExec=/usr/bin/yotenna " + file + "\n" << true;
    QTest::newRow("this file by another path")
        << "[Desktop Entry]\nExec=yotenna " + QByteArray(file).replace("/checked", "/./checked") +
               "\n"
        << true;
    QTest::newRow("another file") << QByteArray("[Desktop Entry]\nExec=yotenna /tmp/other.dat\n")
                                  << false;
    QTest::newRow("no file") << QByteArray("[Desktop Entry]\nExec=yotenna\n") << false;
    QTest::newRow("hidden") << "[Desktop Entry]\nExec=yotenna " + file + "\nHidden=true\n" << false;
    QTest::newRow("switched off") << "[Desktop Entry]\nExec=yotenna " + file +
                                         "\nX-GNOME-Autostart-enabled=false\n"
                                  << false;
    QTest::newRow("in another group")
        << "[Desktop Action x]\nExec=yotenna " + file + "\n[Desktop Entry]\nName=Y\n"
        << false;
  }
  void theItemIsCheckedOnlyForAnEntryOfThisFile() {
    QFETCH(QByteArray, entry);
    QFETCH(bool, checked);
    const QString path = dir_.filePath("checked.dat");
    writeBytes(path, kMarkerLine);
    QDir().mkpath(QFileInfo(entryPath()).path());
    writeBytes(entryPath(), entry);
    Session session;
    QVERIFY(session.program.start(path));
    QCOMPARE(session.main()->findChild<QAction*>("autostart")->isChecked(), checked);
    QFile::remove(entryPath());
  }

  void execQuoting_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "/home/u/a.dat"
                           << "/home/u/a.dat";
    QTest::newRow("Japanese") << "/home/u/予定.dat"
                              << "/home/u/予定.dat";
    QTest::newRow("space") << "/home/u/my data.dat"
                           << "\"/home/u/my data.dat\"";
    QTest::newRow("double quote") << "/a\"b"
                                  << "\"/a\\\\\"b\"";
    QTest::newRow("backslash") << "/a\\b"
                               << "\"/a\\\\\\\\b\"";
    QTest::newRow("dollar and backquote") << "/$x`y"
                                          << "\"/\\\\$x\\\\`y\"";
    QTest::newRow("percent") << "/100%.dat"
                             << "/100%%.dat";
    QTest::newRow("line break") << "/a\nb"
                                << "\"/a\\nb\"";
    QTest::newRow("empty") << ""
                           << "\"\"";
  }
  void execQuoting() {
    QFETCH(QString, argument);
    QFETCH(QString, value);
    QCOMPARE(execArgument(argument), value);
    QCOMPARE(execArguments("yotenna " + value), QStringList({"yotenna", argument}));
  }

  void anEntryThatCannotBeWrittenIsReported() {
    const QString path = dir_.filePath("blocked.dat");
    writeBytes(path, kMarkerLine);
    // The autostart folder is a file: the entry cannot go there.
    const QString config = dir_.filePath("blocked-config");
    writeBytes(config, "");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    Session session;
    QVERIFY(session.program.start(path));
    auto* item = session.main()->findChild<QAction*>("autostart");
    item->trigger();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath("config")));
    QVERIFY(!item->isChecked());
    QCOMPARE(session.platform.messages.size(), 1);
    QVERIFY2(session.platform.messages[0].text.startsWith("ログイン時に起動する設定を書けません"),
             qPrintable(session.platform.messages[0].text));
  }

  // --- the status icon -----------------------------------------------------------------------

  void statusIconNamesTheNextTimer() {
    const QString path = dir_.filePath("status.dat");
    writeBytes(path, kMarkerLine + dailyTimer(kSanpo, "07", "30") + dailyTimer("b", "09", "00"));
    Session session;
    QVERIFY(session.program.start(path));
    StatusIcon icon(session.context, *session.main());
    QCOMPARE(icon.trayIcon()->toolTip(), "次のタイマー 12/09 07:30 朝の散歩");

    // The timer list reloads after a change of the file: the tooltip follows.
    writeBytes(path, kMarkerLine + dailyTimer("b", "09", "00"));
    session.main()->refreshAllViews();
    QCOMPARE(icon.trayIcon()->toolTip(), "次のタイマー 12/09 09:00 b");

    // And the clock: once 09:00 has passed, tomorrow's.
    session.platform.clock = QDateTime(QDate(2026, 12, 9), QTime(9, 0, 0));
    QTRY_COMPARE(icon.trayIcon()->toolTip(), "次のタイマー 12/10 09:00 b");
  }

  void statusIconMenuShowsAndEnds() {
    const QString path = dir_.filePath("menu.dat");
    writeBytes(path, kMarkerLine);
    Session session;
    QVERIFY(session.program.start(path));
    MainWindow* main = session.main();
    StatusIcon icon(session.context, *main);
    QCOMPARE(icon.trayIcon()->contextMenu(), icon.menu());
    QStringList captions;
    for (const QAction* action : icon.menu()->actions()) captions << action->text();
    QCOMPARE(captions, QStringList({"表示", "終了"}));

    QVERIFY(QTest::qWaitForWindowExposed(main));
    OtherWindow other;
    QTRY_VERIFY(other.widget.isActiveWindow());
    icon.menu()->actions()[0]->trigger();
    QTRY_VERIFY(main->isActiveWindow());

    // 終了 asks as the menu item does: No keeps everything, Yes ends.
    session.platform.answers = {MessageAnswer::No};
    icon.menu()->actions()[1]->trigger();
    QCOMPARE(session.platform.messages.last().text, "終了しますか？");
    QCOMPARE(session.platform.messages.last().title, "確認");
    QVERIFY(main->isVisible());
    QCOMPARE(session.quits, 0);
    session.platform.answers = {MessageAnswer::Yes};
    icon.menu()->actions()[1]->trigger();
    QCOMPARE(session.quits, 1);
  }

  void withoutATrayThereIsNoStatusIcon() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) QSKIP("this desktop has a tray");
    const QString path = dir_.filePath("no-tray.dat");
    writeBytes(path, kMarkerLine);
    Session session;
    QVERIFY(session.program.start(path));
    QVERIFY(session.main()->isVisible());
    QVERIFY(!session.program.statusIcon());
  }

  // --- the icon and the file dialogs ---------------------------------------------------------

  void theIconHasAPictureForEverySize() {
    const QIcon icon = applicationIcon();
    QList<int> sizes;
    for (const QSize& size : icon.availableSizes()) sizes << size.width();
    QCOMPARE(sizes, QList<int>({16, 22, 24, 32, 48, 64, 96, 128, 256}));
    for (const int size : sizes) {
      const QImage picture = icon.pixmap(QSize(size, size)).toImage();
      QCOMPARE(picture.size(), QSize(size, size));
      QVERIFY(picture.hasAlphaChannel());
      // Drawn, not empty: the middle of the clock's dial is opaque.
      QCOMPARE(qAlpha(picture.pixel(size * 6 / 10, size * 6 / 10)), 255);
    }
    // Every window carries it.
    QApplication::setWindowIcon(icon);
    const QString path = dir_.filePath("icon.dat");
    writeBytes(path, kMarkerLine);
    Session session;
    QVERIFY(session.program.start(path));
    QCOMPARE(session.main()->windowIcon().availableSizes(), icon.availableSizes());
  }

  void allFilesListsFilesWithoutAnExtension() {
    const QString folder = dir_.filePath("listing");
    QDir().mkpath(folder);
    writeBytes(folder + "/with.dat", kMarkerLine);
    writeBytes(folder + "/no-extension", kMarkerLine);
    writeBytes(folder + "/other.txt", "");

    QFileDialog dialog(nullptr, "開く", folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(fileDialogNameFilters({"データ(*.dat)", "All(*.*)"}));
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(types);
    QCOMPARE(types->itemText(0), "データ(*.dat)");
    QCOMPARE(types->itemText(1), "All(*.*)");

    auto* list = dialog.findChild<QListView*>("listView");
    QVERIFY(list);
    const auto shown = [&] {
      QStringList names;
      const QModelIndex root = list->rootIndex();
      for (int row = 0; row < list->model()->rowCount(root); ++row) {
        names << list->model()->index(row, 0, root).data().toString();
      }
      names.sort();
      return names;
    };
    dialog.selectNameFilter(dialog.nameFilters().value(0));
    QTRY_COMPARE(shown(), QStringList({"with.dat"}));
    dialog.selectNameFilter(dialog.nameFilters().value(1));
    QTRY_COMPARE(shown(), QStringList({"no-extension", "other.txt", "with.dat"}));
  }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
