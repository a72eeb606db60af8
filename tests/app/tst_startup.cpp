#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "alarm/widgets/AlarmController.h"
#include "alarm/widgets/AlarmPopup.h"
#include "app/DataFileCommands.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/StartupWindow.h"
#include "support/FakePlatform.h"
#include "support/ProgramSession.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

namespace {

using Session = ProgramSession;

template <typename T>
T* child(QWidget* window, const char* name) {
  return window->findChild<T*>(QLatin1String(name));
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  void standardButtonsSpeakJapanese() {
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), "はい(&Y)");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), "いいえ(&N)");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "キャンセル");
    QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), "開く(&O)");
  }

  void windowHasItsControls() {
    Session session;
    StartupWindow* window = session.start();
    QCOMPARE(window->objectName(), "Form1");
    QCOMPARE(window->windowTitle(), "新しいデータ？　既存のデータ？");
    QCOMPARE(window->size(), QSize(481, 410));
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(window->windowFlags() & Qt::WindowMinimizeButtonHint));

    auto* image = child<QLabel>(window, "Image1");
    QCOMPARE(image->geometry(), QRect(0, 0, 481, 377));
    QCOMPARE(image->pixmap().size(), QSize(420, 334));
    QCOMPARE(image->toolTip(), "Yotennaします");

    struct Expected {
      const char* name;
      QString caption;
      QString tip;
      int left;
    };
    const QList<Expected> buttons{
        {"Command1", "新規作成", "新しいデータを作ります", 0},
        {"Command2", "既存のデータを開く", "既にあるデータを読み込みます", 160},
        {"Command3", "終了", "終了で～す", 320}};
    QWidget* previous = nullptr;
    QStringList accessibleNames{image->accessibleName()};
    for (const Expected& e : buttons) {
      auto* button = child<QPushButton>(window, e.name);
      QVERIFY2(button, e.name);
      QCOMPARE(button->text(), e.caption);
      QCOMPARE(button->toolTip(), e.tip);
      QCOMPARE(button->geometry(), QRect(e.left, 378, 161, 33));
      QCOMPARE(button->accessibleName(), e.caption);
      if (previous) QCOMPARE(previous->nextInFocusChain(), button);
      previous = button;
      accessibleNames.append(button->accessibleName());
    }
    accessibleNames.removeDuplicates();
    QCOMPARE(accessibleNames.size(), 4);
    QVERIFY(!image->accessibleName().isEmpty());
  }

  void loadCentresTheWindowAndSelectsToday() {
    Session session;
    session.platform.clock = QDateTime(QDate(2001, 5, 3), QTime(9, 0));
    session.platform.screen = QSize(1280, 1024);
    StartupWindow* window = session.start();
    QCOMPARE(window->pos(), QPoint((1280 - 481) / 2, (1024 - 410) / 2));
    QCOMPARE(session.state.SelYear, 2001);
    QCOMPARE(session.state.SelMonth, 5);
    QCOMPARE(session.state.SelDay, 3);
    QCOMPARE(session.platform.driveChanges, 1);
  }

  void secondCopyIsRefused() {
    Session session;
    session.platform.lock.state = InstanceLock::State::AnotherCopyRuns;
    StartupWindow* window = session.start();
    QVERIFY(!window->isVisible());
    QCOMPARE(session.platform.messages.size(), 1);
    QCOMPARE(session.platform.messages[0].text, "このアプリケーションはすでに起動しています");
    QCOMPARE(session.platform.messages[0].title, "Yotenna");
    QCOMPARE(session.platform.messages[0].icon, MessageIcon::Warning);
    QCOMPARE(session.quits, 1);
    QVERIFY(!session.main());
  }

  void keysPressTheButtons() {
    Session session;
    StartupWindow* window = session.start();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget()->objectName(), "Command1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // 新規作成, cancelled
    QCOMPARE(session.platform.saveRequests.size(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), "Command2");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // 既存のデータを開く, cancelled
    QCOMPARE(session.platform.openRequests.size(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), "Command3");
    QCOMPARE(session.quits, 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);  // 終了
    QVERIFY(session.quits >= 1);
  }

  void cancelledDialogsLeaveTheWindowOpen() {
    Session session;
    StartupWindow* window = session.start();
    window->createNewFile();
    window->openExistingFile();
    QVERIFY(window->isVisible());
    QCOMPARE(session.state.MonthDays[0], 0);
    QVERIFY(session.state.CurrentDataFile.isEmpty());
    QVERIFY(!session.main());
    QCOMPARE(session.platform.messages.size(), 0);
    QCOMPARE(session.quits, 0);
    window->close();
    QCOMPARE(session.quits, 1);
    QVERIFY(!session.main());
  }

  void newFileIsCreatedAndTheMainWindowTakesOver() {
    Session session;
    const QString path = dir_.filePath("new.dat");
    session.platform.saveResults = {path};
    StartupWindow* window = session.start();
    window->createNewFile();
    QCOMPARE(readBytes(path), kMarkerLine);
    QCOMPARE(session.state.CurrentDataFile, path);
    QCOMPARE(session.state.MonthDays[0], 1);
    QVERIFY(!window->isVisible());
    QVERIFY(!session.program.startupWindow());
    QVERIFY(session.main() && session.main()->isVisible());
    QCOMPARE(session.quits, 0);
    const FileDialogRequest& request = session.platform.saveRequests.value(0);
    QCOMPARE(request.fileName, "新規データ");
    QVERIFY(request.confirmOverwrite);
    QCOMPARE(request.filters, QStringList({"データ(*.dat)", "All(*.*)"}));
  }

  void existingFileChosenForNewIsEmptiedAndExtensionIsNotAdded() {
    Session session;
    const QString path = dir_.filePath("no-extension");
    writeBytes(path, "\"2001/05/03\",\"old\",\"\",0,0\r\n" + kMarkerLine);
    session.platform.saveResults = {path};
    session.start()->createNewFile();
    QCOMPARE(readBytes(path), kMarkerLine);
    QVERIFY(!QFile::exists(path + ".dat"));
  }

  void fileThatCannotBeCreatedIsReported() {
    Session session;
    session.platform.saveResults = {dir_.filePath("missing-folder/new.dat")};
    StartupWindow* window = session.start();
    window->createNewFile();
    QVERIFY(window->isVisible());
    QCOMPARE(session.state.MonthDays[0], 0);
    QVERIFY(session.state.CurrentDataFile.isEmpty());
    QCOMPARE(session.platform.messages.size(), 1);
    QVERIFY(session.platform.messages[0].text.contains("new.dat"));
    QCOMPARE(session.platform.messages[0].icon, MessageIcon::Warning);
  }

  void openShowsTheMainWindowThenPurges() {
    Session session;
    const QString path = dir_.filePath("open.dat");
    const QByteArray untidy = "\"2001/05/02\",\"old and done\",\"\",1,1\r\n" + kMarkerLine;
    writeBytes(path, untidy);
    session.platform.openResults = {path};
    session.start()->openExistingFile();
    QCOMPARE(session.state.CurrentDataFile, path);
    QVERIFY(session.main() && session.main()->isVisible());
    // The window paints itself first, then the file is tidied.
    QCOMPARE(readBytes(path), untidy);
    QTRY_COMPARE(readBytes(path), kMarkerLine);
    QCOMPARE(session.platform.messages.size(), 0);
    // The views were loaded before the purge: they still show the entry until the next reload.
    auto* cell = session.main()->findChild<QListWidget*>("List1(1)");
    QCOMPARE(cell->count(), 1);
    QCOMPARE(cell->item(0)->text(), "old and done");
    session.main()->refreshAllViews();
    QCOMPARE(cell->count(), 0);
  }

  void openReportsMissedAlarmsAndRingsTheRecentOnes() {
    Session session;
    // Half a minute in, so the start minute's own check stays out of this.
    session.platform.clock = QDateTime(QDate(2001, 5, 3), QTime(12, 0, 30));
    const QString path = dir_.filePath("missed.dat");
    const QByteArray now = "\"now\",\"0\",\"2001\",\"05\",\"03\",\"12\",\"00\",\"\"\r\n";
    writeBytes(
        path, kMarkerLine + "\"old one\",\"0\",\"2001\",\"04\",\"30\",\"08\",\"00\",\"\"\r\n" +
                  "\"yesterday\",\"0\",\"2001\",\"05\",\"02\",\"12\",\"30\",\"\"\r\n" + now +
                  "\"\x95\x61\x89\x40\x82\xC9\x93\x64\x98\x62\x82\xB7\x82\xE9\","  // 病院に電話する
                  "\"0\",\"2001\",\"05\",\"03\",\"09\",\"16\",\"\"\r\n");
    session.platform.openResults = {path};
    session.start()->openExistingFile();
    QVERIFY(session.main() && session.main()->isVisible());
    QTRY_COMPARE(readBytes(path), kMarkerLine + now);
    // One message lists them all, before anything rings.
    QTRY_COMPARE(session.platform.messages.size(), 1);
    QCOMPARE(session.platform.messages[0].text,
             "Yotenna が動いていない間に過ぎたタイマーがあります\n\n"
             "2001/04/30(月) 08:00　old one\n"
             "2001/05/02(水) 12:30　yesterday\n"
             "2001/05/03(木) 09:16　病院に電話する");
    QCOMPARE(session.platform.messages[0].icon, MessageIcon::Warning);
    // Those of the last 24 hours ring once, late; the last one stays in the pop-up.
    QCOMPARE(session.platform.notifications.size(), 2);
    QCOMPARE(session.platform.notifications[0].summary, "yesterday");
    QCOMPARE(session.platform.notifications[0].body, "05/02 12:30 の予定です");
    QCOMPARE(session.platform.notifications[1].summary, "病院に電話する");
    QCOMPARE(session.platform.notifications[1].body, "09:16 の予定です");
    AlarmPopup* popup = session.main()->alarms()->popup();
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(popup->findChild<QLabel*>("Label1")->text(), "病院に電話する");
    QVERIFY(session.platform.soundPlaying);
    popup->close();
  }

  void openOfAnUnreadableFileSaysWhy() {
    Session session;
    // Half a minute in: the alarm scan of the start minute stays out of this.
    session.platform.clock = QDateTime(QDate(2001, 5, 3), QTime(12, 0, 30));
    session.platform.openResults = {dir_.filePath("gone.dat")};
    session.start()->openExistingFile();
    QVERIFY(session.main() && session.main()->isVisible());
    QTRY_COMPARE(session.platform.messages.size(), 1);
    QVERIFY(session.platform.messages[0].text.contains("gone.dat"));
    QVERIFY(session.platform.messages[0].text.contains("見つかりません"));
    QVERIFY(!QFile::exists(dir_.filePath("gone.dat")));
  }

  void firstDialogAfterTheHandOverSelectsTodayOnce() {
    Session session;
    const QString first = dir_.filePath("first.dat");
    session.platform.saveResults = {first};
    session.start()->createNewFile();
    QVERIFY(!session.program.startupWindow());

    session.state.SelYear = 1999;
    session.platform.clock = QDateTime(QDate(2002, 7, 8), QTime(10, 0));
    QCOMPARE(NewDataFile(session.context, session.main()->fileDialog()), DialogOutcome::Cancelled);
    QCOMPARE(session.state.SelYear, 2002);
    QCOMPARE(session.state.SelMonth, 7);
    QCOMPARE(session.state.SelDay, 8);
    // The start-up window's load steps ran once more: its drive change too.
    QCOMPARE(session.platform.driveChanges, 2);
    // Cancelled: the file in use stays and the dialog forgets the proposed name.
    QCOMPARE(session.state.CurrentDataFile, first);
    QCOMPARE(session.main()->fileDialog().fileName, first);

    session.state.SelYear = 1999;
    QCOMPARE(OpenDataFile(session.context, session.main()->fileDialog()), DialogOutcome::Cancelled);
    QCOMPARE(session.state.SelYear, 1999);
    QCOMPARE(session.platform.driveChanges, 2);
    QCOMPARE(session.platform.openRequests.last().fileName, first);
  }

  void newAndOpenFromTheMainWindow() {
    Session session;
    const QString first = dir_.filePath("a.dat");
    const QString second = dir_.filePath("b.dat");
    session.platform.saveResults = {first, second};
    session.start()->createNewFile();
    QCOMPARE(NewDataFile(session.context, session.main()->fileDialog()), DialogOutcome::Chosen);
    QCOMPARE(session.state.CurrentDataFile, second);
    QCOMPARE(session.state.PreviousDataFile, first);
    QCOMPARE(readBytes(second), kMarkerLine);

    session.platform.openResults = {first};
    QCOMPARE(OpenDataFile(session.context, session.main()->fileDialog()), DialogOutcome::Chosen);
    QCOMPARE(session.state.CurrentDataFile, first);
    QCOMPARE(session.platform.openRequests.last().fileName, second);

    // A file that cannot be created leaves the file in use as it was.
    session.platform.saveResults = {dir_.filePath("missing/c.dat")};
    QCOMPARE(NewDataFile(session.context, session.main()->fileDialog()), DialogOutcome::Failed);
    QCOMPARE(session.state.CurrentDataFile, first);
    QCOMPARE(session.platform.messages.size(), 1);
  }

  void endButtonEndsTheProgram() {
    Session session;
    StartupWindow* window = session.start();
    child<QPushButton>(window, "Command3")->click();
    QVERIFY(session.quits >= 1);
    QVERIFY(!session.main());
  }

  void closingTheMainWindowAsksFirst() {
    Session session;
    session.platform.saveResults = {dir_.filePath("close.dat")};
    session.start()->createNewFile();
    MainWindow* main = session.main();
    QVERIFY(main);
    QCOMPARE(main->objectName(), "Form2");
    QCOMPARE(main->windowTitle(), "Yotenna Version 1.1.5");

    session.platform.answers = {MessageAnswer::No};
    main->close();
    QVERIFY(main->isVisible());
    QCOMPARE(session.quits, 0);
    QCOMPARE(session.platform.messages.last().text, "終了しますか？");
    QCOMPARE(session.platform.messages.last().title, "確認");
    QCOMPARE(session.platform.messages.last().icon, MessageIcon::Question);
    QCOMPARE(session.platform.messages.last().buttons, MessageButtons::YesNo);

    session.platform.answers = {MessageAnswer::Yes};
    main->close();
    QCOMPARE(session.quits, 1);
  }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
