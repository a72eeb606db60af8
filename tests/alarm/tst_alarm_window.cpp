#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "alarm/widgets/AlarmController.h"
#include "alarm/widgets/AlarmPopup.h"
#include "editor/widgets/EditorWindow.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

namespace {

const QByteArray kGetsu("\x8C\x8E");  // 月
const QByteArray kA("\x82\xA0");      // あ

QByteArray timerLine(const QByteArrayList& fields) {
  QByteArray line;
  for (const QByteArray& field : fields) line += (line.isEmpty() ? "\"" : ",\"") + field + "\"";
  return line + "\r\n";
}

const QByteArray kDaily = timerLine({"wake", "2", "", "", "", "07", "30", "/pics/sun.png"});
const QByteArray kWeekly = timerLine({"gym", "1", kGetsu, "", "", "07", "30", ""});
const QByteArray kOnce = timerLine({"dentist", "0", "2026", "12", "07", "07", "30", ""});
const QByteArray kTea = timerLine({"tea", "2", "", "", "", "15", "00", ""});
const QByteArray kLate = timerLine({"night", "2", "", "", "", "23", "30", ""});
const QByteArray kLost = timerLine({"lost", "2", "", "", "", "07", "30", "/pics/gone.png"});

// "2026-12-07 07:30:00", optionally with ".zzz"; 2026-12-07 is a Monday.
QDateTime at(const QString& text) {
  const QDateTime moment = QDateTime::fromString(
      text, text.size() > 19 ? "yyyy-MM-dd hh:mm:ss.zzz" : "yyyy-MM-dd hh:mm:ss");
  if (!moment.isValid()) qFatal("bad moment %s", qPrintable(text));
  return moment;
}

// A platform that also lets the test act at each beep and each message box.
class AlarmPlatform : public FakePlatform {
 public:
  std::function<void()> onBeep;
  std::function<void()> onMessage;

  void beep() override {
    FakePlatform::beep();
    if (onBeep) onBeep();
  }
  MessageAnswer messageBox(const QString& text, const QString& title, MessageIcon icon,
                           MessageButtons buttons) override {
    const MessageAnswer answer = FakePlatform::messageBox(text, title, icon, buttons);
    if (onMessage) onMessage();
    return answer;
  }
};

const QString kTrouble = QStringLiteral(
    "指定された場所に画像がない可能性があります。今後タイマーが正常に動作しない可能性がありますので"
    "『Yotenna』を再起動してください。");

// The clock over one data file (marker line, then the given timer lines).
struct Session {
  QTemporaryDir dir;
  AlarmPlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  QStringList log;  // the views' calls and the beeps, in order
  FakeViews views{log};
  QStringList clockTexts;
  AlarmController alarms{context, views, [this](const QString& text) { clockTexts << text; }};

  explicit Session(const QByteArray& timers) {
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, kMarkerLine + timers);
    QImage sun(40, 30, QImage::Format_RGB32);
    sun.fill(QColor(250, 200, 0));
    platform.pictures.insert("/pics/sun.png", sun);
    platform.onBeep = [this] {
      log << (popup() && popup()->isVisible() ? "beep (pop-up open)" : "beep");
    };
  }
  void tickAt(const QString& moment) {
    platform.clock = at(moment);
    alarms.tick();
  }
  QByteArray fileBytes() const { return readBytes(state.CurrentDataFile); }

  AlarmPopup* popup() const { return alarms.popup(); }
  template <typename T = QLabel>
  T* control(const QString& name) const {
    T* widget = popup() ? popup()->findChild<T*>(name) : nullptr;
    if (!widget) qFatal("no control %s", qPrintable(name));
    return widget;
  }
  // The title of the pop-up on the screen, "" when none is shown.
  QString shownTitle() const {
    return popup() && popup()->isVisible() ? control("Label1")->text() : QString();
  }
  QString shownNotice() const {
    const QLabel* notice = control("DueNotice");
    return notice->isVisibleTo(popup()) ? notice->text() : QString();
  }
  bool topmost() const { return popup()->windowFlags() & Qt::WindowStaysOnTopHint; }
};

// Counts the times the pop-up is taken off the screen.
struct HideCounter : QObject {
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Hide) ++count;
    return false;
  }
};

int visiblePopups() {
  int count = 0;
  for (const QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == "Form4" && window->isVisible()) ++count;
  }
  return count;
}

}  // namespace

class AlarmWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  void clockTextAtEveryTick() {
    Session s(kTea);
    s.tickAt("2026-12-07 21:30:05");
    s.tickAt("2026-12-07 21:30:06");
    QCOMPARE(s.clockTexts, QStringList({"今は2026年12月07日月曜日         21:30:05です",
                                        "今は2026年12月07日月曜日         21:30:06です"}));
    QCOMPARE(s.platform.beeps, 0);
    QVERIFY(!s.popup());
  }

  void firing_data() {
    QTest::addColumn<QByteArray>("timers");
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QByteArray>("fileAfter");

    const QByteArray daily = kMarkerLine + kDaily;
    QTest::newRow("daily on the minute")
        << kDaily << QStringList{"2026-12-07 07:29:59", "2026-12-07 07:30:00"} << 1 << "wake"
        << "" << daily;
    QTest::newRow("tick late in the minute")
        << kDaily << QStringList{"2026-12-07 07:29:59", "2026-12-07 07:30:01"} << 1 << "wake"
        << "" << daily;
    QTest::newRow("two ticks in second 00")
        << kDaily
        << QStringList{"2026-12-07 07:29:59", "2026-12-07 07:30:00.100", "2026-12-07 07:30:00.900",
                       "2026-12-07 07:30:01"}
        << 1 << "wake"
        << "" << daily;
    QTest::newRow("started at second 00")
        << kDaily << QStringList{"2026-12-07 07:30:00"} << 1 << "wake"
        << "" << daily;
    QTest::newRow("started later in the minute")
        << kDaily << QStringList{"2026-12-07 07:30:30", "2026-12-07 07:30:31"} << 0 << ""
        << "" << daily;
    QTest::newRow("weekly on its weekday")
        << kWeekly << QStringList{"2026-12-07 07:29:59", "2026-12-07 07:30:00"} << 1 << "gym"
        << "" << kMarkerLine + kWeekly;
    QTest::newRow("weekly on another weekday")
        << kWeekly << QStringList{"2026-12-08 07:29:59", "2026-12-08 07:30:00"} << 0 << ""
        << "" << kMarkerLine + kWeekly;
    QTest::newRow("once-only fires and goes")
        << kTea + kOnce << QStringList{"2026-12-07 07:29:59", "2026-12-07 07:30:00"} << 1
        << "dentist"
        << "" << kMarkerLine + kTea;
    QTest::newRow("once-only of another day stays")
        << kOnce << QStringList{"2026-12-08 07:29:59", "2026-12-08 07:30:00"} << 0 << ""
        << "" << kMarkerLine + kOnce;
    QTest::newRow("suspended for three hours")
        << kDaily << QStringList{"2026-12-07 06:00:00", "2026-12-07 09:00:05"} << 1 << "wake"
        << "07:30 の予定です" << daily;
    QTest::newRow("suspended over midnight")
        << kLate << QStringList{"2026-12-06 23:00:00", "2026-12-07 01:00:00"} << 1 << "night"
        << "12/06 23:30 の予定です" << kMarkerLine + kLate;
    QTest::newRow("once-only missed while suspended")
        << kOnce << QStringList{"2026-12-07 07:00:00", "2026-12-07 08:00:00"} << 1 << "dentist"
        << "07:30 の予定です" << kMarkerLine;
    QTest::newRow("clock set back five minutes")
        << kDaily
        << QStringList{"2026-12-07 07:29:59", "2026-12-07 07:30:00", "2026-12-07 07:25:00",
                       "2026-12-07 07:29:59", "2026-12-07 07:30:00", "2026-12-07 07:31:00"}
        << 1 << "wake"
        << "" << daily;
  }

  void firing() {
    QFETCH(QByteArray, timers);
    QFETCH(QStringList, ticks);
    QFETCH(int, beeps);
    QFETCH(QString, title);
    QFETCH(QString, notice);
    QFETCH(QByteArray, fileAfter);

    Session s(timers);
    for (const QString& tick : ticks) s.tickAt(tick);
    QCOMPARE(s.platform.beeps, beeps);
    QCOMPARE(s.shownTitle(), title);
    if (!title.isEmpty()) QCOMPARE(s.shownNotice(), notice);
    QCOMPARE(s.fileBytes(), fileAfter);
    QCOMPARE(s.platform.messages.size(), 0);
    QCOMPARE(s.clockTexts.size(), ticks.size());
  }

  void popupShowsTheTimer() {
    Session s(kDaily);
    s.tickAt("2026-12-07 07:30:00");
    AlarmPopup* popup = s.popup();
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->objectName(), "Form4");
    QCOMPARE(popup->windowTitle(), "時間で～す(￣◇￣)");
    QVERIFY(s.topmost());
    // Modeless and owned by no window.
    QVERIFY(!popup->parent());
    QCOMPARE(popup->windowModality(), Qt::NonModal);
    QVERIFY(!(popup->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(popup->windowFlags() & Qt::WindowMinimizeButtonHint));
    // 14670 x 10815 twips at 96 dpi; centred on the 1280 pixels of the screen, 100 twips down.
    QCOMPARE(popup->size(), QSize(978, 721));
    QCOMPARE(popup->minimumSize(), popup->maximumSize());
    QCOMPARE(popup->pos(), QPoint(151, 7));

    const QLabel* picture = s.control("Image1");
    QCOMPARE(picture->pixmap().size(), QSize(40, 30));
    QCOMPARE(picture->pixmap().toImage().pixelColor(5, 5), QColor(250, 200, 0));
    QVERIFY(picture->hasScaledContents());
    QCOMPARE(picture->toolTip(), "クリックすると閉じる事ができます");

    const QLabel* title = s.control("Label1");
    QCOMPARE(title->text(), "wake");
    QCOMPARE(title->font().families().value(0), "HG創英角ｺﾞｼｯｸUB");
    QVERIFY(title->autoFillBackground());
    QCOMPARE(title->palette().color(QPalette::Window), QColor(255, 255, 255));
    QCOMPARE(title->alignment(), Qt::AlignCenter);

    const QLabel* instruction = s.control("Label2");
    QCOMPARE(instruction->text(), "確認したら画像をクリックして");
    QCOMPARE(instruction->font().pointSize(), 18);
    QVERIFY(instruction->font().bold());
    QVERIFY(!instruction->autoFillBackground());
    // Over the lower right of the picture, in front of it, right edge as designed.
    QVERIFY(picture->geometry().contains(instruction->geometry()));
    QCOMPARE(instruction->geometry().right(), 976);
    QCOMPARE(instruction->geometry().top(), 695);
    const QList<QLabel*> order = popup->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    QVERIFY(order.indexOf(const_cast<QLabel*>(instruction)) >
            order.indexOf(const_cast<QLabel*>(picture)));
    QVERIFY(!s.control("DueNotice")->isVisibleTo(popup));
  }

  void layoutByTitleLength_data() {
    QTest::addColumn<QByteArray>("titleBytes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<QRect>("titleBox");
    QTest::addColumn<QRect>("pictureBox");
    // Twips / 15: 1005 -> 67, 1020 -> 68, 9795 -> 653; 765 -> 51, 780 -> 52, 10035 -> 669.
    QTest::newRow("15 characters") << kA.repeated(15) << QString(15, u'あ') << 48
                                   << QRect(0, 0, 977, 67) << QRect(0, 68, 977, 653);
    QTest::newRow("16 characters") << kA.repeated(16) << QString(16, u'あ') << 36
                                   << QRect(0, 0, 977, 51) << QRect(0, 52, 977, 669);
    QTest::newRow("16 ASCII characters") << QByteArray("Take the pills!!") << "Take the pills!!"
                                         << 36 << QRect(0, 0, 977, 51) << QRect(0, 52, 977, 669);
  }

  void layoutByTitleLength() {
    QFETCH(QByteArray, titleBytes);
    QFETCH(QString, title);
    QFETCH(int, pointSize);
    QFETCH(QRect, titleBox);
    QFETCH(QRect, pictureBox);

    Session s(timerLine({titleBytes, "2", "", "", "", "07", "30", "/pics/sun.png"}));
    s.tickAt("2026-12-07 07:30:00");
    QCOMPARE(s.shownTitle(), title);
    QCOMPARE(s.control("Label1")->font().pointSize(), pointSize);
    QCOMPARE(s.control("Label1")->geometry(), titleBox);
    QCOMPARE(s.control("Image1")->geometry(), pictureBox);
  }

  void placement_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPoint>("place");
    QTest::newRow("wide screen") << QSize(1920, 1080) << QPoint(471, 7);
    QTest::newRow("narrower than the window") << QSize(800, 600) << QPoint(-89, 7);
  }

  void placement() {
    QFETCH(QSize, screen);
    QFETCH(QPoint, place);
    Session s(kDaily);
    s.platform.screen = screen;
    s.tickAt("2026-12-07 07:30:00");
    QCOMPARE(s.popup()->pos(), place);
  }

  void severalTimersInOneMinute() {
    Session s(kOnce + kDaily + kWeekly);
    s.tickAt("2026-12-07 07:29:59");
    s.tickAt("2026-12-07 07:30:00");
    // One beep each, each after the previous pop-up was closed; the last one stays.
    QCOMPARE(s.log, QStringList({"beep", "beep", "beep"}));
    QCOMPARE(s.shownTitle(), "gym");
    QCOMPARE(visiblePopups(), 1);
    // The last timer has no picture: nothing is left over from the one before.
    QVERIFY(s.control("Image1")->pixmap().isNull());
    QCOMPARE(s.fileBytes(), kMarkerLine + kDaily + kWeekly);
  }

  void laterAlarmReplacesLateOne() {
    Session s(kDaily + timerLine({"walk", "2", "", "", "", "09", "01", ""}));
    s.tickAt("2026-12-07 06:00:00");
    s.tickAt("2026-12-07 09:00:05");
    QCOMPARE(s.shownNotice(), "07:30 の予定です");
    QVERIFY(s.topmost());
    s.tickAt("2026-12-07 09:01:00");
    QCOMPARE(s.platform.beeps, 2);
    QCOMPARE(s.shownTitle(), "walk");
    QCOMPARE(s.shownNotice(), "");
    QVERIFY(s.topmost());
    QCOMPARE(visiblePopups(), 1);
  }

  void missingPicture() {
    // The timer with the lost picture comes last, so its pop-up is the one left on screen.
    Session s(kOnce + kLost);
    QString shownDuringWarning;
    s.platform.onMessage = [&] { shownDuringWarning = s.shownTitle(); };
    s.tickAt("2026-12-07 07:29:59");
    s.tickAt("2026-12-07 07:30:00");
    QCOMPARE(s.platform.beeps, 2);
    QCOMPARE(s.shownTitle(), "lost");
    QVERIFY(s.control("Image1")->pixmap().isNull());
    QCOMPARE(shownDuringWarning, "lost");
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages[0].text, kTrouble);
    QCOMPARE(s.platform.messages[0].title, "Yotenna");
    QCOMPARE(s.platform.messages[0].icon, MessageIcon::Warning);
    QCOMPARE(s.platform.messages[0].buttons, MessageButtons::Ok);
    // The once-only timer that fired with it is gone all the same.
    QCOMPARE(s.fileBytes(), kMarkerLine + kLost);
  }

  void noWarningOnTopOfAnother() {
    Session s(kLost + timerLine({"lost too", "2", "", "", "", "07", "31", "/pics/gone.png"}) +
              timerLine({"lost three", "2", "", "", "", "07", "32", "/pics/gone.png"}));
    HideCounter hides;
    // While the first box is up the clock goes on: the next minute fails as well, and so does
    // a file that has disappeared.
    s.platform.onMessage = [&] {
      if (s.platform.messages.size() != 1) return;
      s.popup()->installEventFilter(&hides);
      s.tickAt("2026-12-07 07:31:00");
      // Refilled where it stands: the box belongs to that window and stays above it.
      QCOMPARE(s.shownTitle(), "lost too");
      QCOMPARE(hides.count, 0);
      const QByteArray kept = s.fileBytes();
      QFile::remove(s.state.CurrentDataFile);
      s.tickAt("2026-12-07 07:31:59");
      s.tickAt("2026-12-07 07:32:00");
      writeBytes(s.state.CurrentDataFile, kept);
    };
    s.tickAt("2026-12-07 07:29:59");
    s.tickAt("2026-12-07 07:30:00");
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.beeps, 2);
    // Once the box is closed, the next failure is reported again.
    s.tickAt("2026-12-07 07:32:00");  // the same minute: nothing
    s.tickAt("2026-12-08 07:30:00");
    QCOMPARE(s.platform.messages.size(), 2);
    QCOMPARE(s.platform.messages[1].text, kTrouble);
    QCOMPARE(s.platform.beeps, 3);
  }

  void alarmDuringWarningWaitsForIt() {
    Session s(kDaily + kTea);
    const QByteArray good = s.fileBytes();
    writeBytes(s.state.CurrentDataFile, kDaily);  // no marker line
    bool shownDuringWarning = true;
    s.platform.onMessage = [&] {
      writeBytes(s.state.CurrentDataFile, good);
      s.tickAt("2026-12-07 07:30:00");
      shownDuringWarning = s.popup() && s.popup()->isVisible();
    };
    s.tickAt("2026-12-07 07:28:59");
    s.tickAt("2026-12-07 07:29:00");
    QCOMPARE(s.platform.messages.size(), 1);
    // It beeped on time but did not cover the box; it is shown once the box is closed.
    QCOMPARE(s.log, QStringList({"beep"}));
    QVERIFY(!shownDuringWarning);
    QCOMPARE(s.shownTitle(), "wake");
    QVERIFY(s.topmost());
  }

  void unreadableFile() {
    Session s(kDaily);
    writeBytes(s.state.CurrentDataFile, kDaily);  // no marker line
    s.tickAt("2026-12-07 07:29:59");
    s.tickAt("2026-12-07 07:30:00");
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages[0].text, kTrouble);
    QCOMPARE(s.fileBytes(), kDaily);
  }

  void closesEditorWithoutSaving() {
    Session s(kDaily);
    const QByteArray before = s.fileBytes();
    EditorWindow editor(s.context, s.views);
    editor.FillEditorCombos();
    editor.prepareNewEntry(QStringLiteral("2026/12/07(月)の予定"));
    editor.show();
    auto* subject = editor.findChild<QLineEdit*>("Text1");
    QVERIFY(subject);
    QTest::keyClicks(subject, "meeting");
    QCOMPARE(subject->text(), "meeting");

    s.tickAt("2026-12-07 07:29:59");
    QVERIFY(editor.isVisible());
    s.tickAt("2026-12-07 07:30:00");
    QVERIFY(!editor.isVisible());
    QCOMPARE(editor.result(), int(QDialog::Rejected));
    QCOMPARE(s.shownTitle(), "wake");
    QCOMPARE(s.fileBytes(), before);
    QCOMPARE(s.log, QStringList({"beep"}));
  }

  void clickOnPicture() {
    Session s(kDaily);
    s.tickAt("2026-12-07 07:30:00");
    s.log.clear();
    // The title and the instruction do nothing.
    QTest::mouseClick(s.control("Label1"), Qt::LeftButton);
    QTest::mouseClick(s.control("Label2"), Qt::LeftButton);
    QVERIFY(s.popup()->isVisible());
    QCOMPARE(s.log, QStringList());

    QTest::mouseClick(s.control("Image1"), Qt::LeftButton);
    QVERIFY(!s.popup()->isVisible());
    QCOMPARE(s.log, QStringList({"LoadTimerList", "beep", "finishRefresh"}));
    QCOMPARE(s.platform.beeps, 2);
  }

  void closeBoxOnlyCloses() {
    Session s(kDaily);
    s.tickAt("2026-12-07 07:30:00");
    s.log.clear();
    QVERIFY(s.popup()->close());
    QVERIFY(!s.popup()->isVisible());
    QCOMPARE(s.log, QStringList());
    QCOMPARE(s.platform.beeps, 1);
    // The same window comes back, topmost again, for the next alarm.
    s.tickAt("2026-12-08 07:30:00");
    QVERIFY(s.popup()->isVisible());
    QVERIFY(s.topmost());
    QCOMPARE(s.platform.beeps, 2);
  }
};

QTEST_MAIN(AlarmWindowTest)
#include "tst_alarm_window.moc"
