#include <QAccessible>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/MainWindow.h"
#include "exchange/widgets/ExchangeCommands.h"
#include "exchange/widgets/ImportConfirmDialog.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "support/TestFiles.h"

namespace {

QByteArray sjis(const QString& text) {
  QStringEncoder encoder("windows-31j");
  return encoder.encode(text);
}

QByteArray entry(const QString& date, const QString& subject, const QString& content = {}) {
  return "\"" + sjis(date) + "\",\"" + sjis(subject) + "\",\"" + sjis(content) + "\",0,0\r\n";
}

QByteArray timer(const QStringList& fields) {
  QByteArray line;
  for (const QString& field : fields) line += (line.isEmpty() ? "\"" : ",\"") + sjis(field) + "\"";
  return line + "\r\n";
}

const QByteArray kStored = entry(u"2025/04/20"_qs, u"既存"_qs) + kMarkerLine +
                           timer({u"起床"_qs, u"2"_qs, {}, {}, {}, u"06"_qs, u"00"_qs, {}});

// Times without zone, so that the test does not depend on the machine's zone: a day, a series
// of three with an alarm no timer can follow, an appointment with an alarm, a journal.
const QByteArray kCalendar = QStringLiteral(
                                 "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//test//EN\r\n"
                                 "BEGIN:VEVENT\r\nUID:a\r\nDTSTART;VALUE=DATE:20250405\r\n"
                                 "SUMMARY:花見\r\nEND:VEVENT\r\n"
                                 "BEGIN:VEVENT\r\nUID:b\r\nDTSTART:20250421T090000\r\n"
                                 "RRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:英会話\r\n"
                                 "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\n"
                                 "TRIGGER:-PT10M\r\nEND:VALARM\r\nEND:VEVENT\r\n"
                                 "BEGIN:VEVENT\r\nUID:c\r\nDTSTART:20250410T150000\r\n"
                                 "SUMMARY:歯医者\r\nDESCRIPTION:駅前の歯科\r\n"
                                 "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\n"
                                 "TRIGGER:-PT30M\r\nEND:VALARM\r\nEND:VEVENT\r\n"
                                 "BEGIN:VJOURNAL\r\nUID:d\r\nSUMMARY:日記\r\nEND:VJOURNAL\r\n"
                                 "END:VCALENDAR\r\n")
                                 .toUtf8();

const QStringList kViewRefresh = {"ShowDateHeading",  "ShowDayHoliday", "LoadDaySchedules",
                                  "RefreshMonthView", "LoadTimerList",  "finishRefresh"};

struct Session {
  QTemporaryDir dir;
  FakePlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  FakeViews views;

  explicit Session(const QByteArray& data = kStored) {
    platform.clock = QDateTime(QDate(2025, 4, 1), QTime(10, 0));
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, data);
  }
  QString calendarFile(const QByteArray& bytes = kCalendar) {
    const QString path = dir.filePath("in.ics");
    writeBytes(path, bytes);
    platform.openResults << path;
    return path;
  }
  QByteArray data() const { return readBytes(state.CurrentDataFile); }
};

template <typename T>
T* child(QWidget* parent, const char* name) {
  T* widget = parent->findChild<T*>(QLatin1String(name));
  if (!widget) qFatal("no control %s", name);
  return widget;
}

// Runs `inspect` on the confirmation once it is open; it ends the dialog itself (or the
// dialog is cancelled when it returns early).
void whenConfirmationOpens(std::function<void(ImportConfirmDialog*)> inspect) {
  QTimer::singleShot(0, [inspect = std::move(inspect)] {
    auto* dialog = qobject_cast<ImportConfirmDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      QWidget* modal = QApplication::activeModalWidget();
      qFatal("the confirmation did not open (%s)",
             modal ? modal->metaObject()->className() : "none");
    }
    QPointer<ImportConfirmDialog> open(dialog);
    inspect(dialog);
    // A failed check returns early: the dialog must close all the same.
    if (open && open->isVisible()) open->reject();
  });
}

QString headline(ImportConfirmDialog* dialog) {
  return child<QLabel>(dialog, "ImportHeadline")->text();
}

}  // namespace

class ExchangeWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void importAddsWhatTheConfirmationSays() {
    Session s;
    s.calendarFile();
    whenConfirmationOpens([](ImportConfirmDialog* dialog) {
      QCOMPARE(dialog->windowTitle(), u"iCalendar を読み込む"_qs);
      QCOMPARE(child<QLabel>(dialog, "ImportFile")->text(), u"読み込むファイル: in.ics"_qs);
      QCOMPARE(headline(dialog), u"予定 5 件、タイマー 1 件を追加します。"_qs);
      QCOMPARE(child<QDateEdit>(dialog, "RangeFirst")->date(), QDate(2025, 4, 1));
      QCOMPARE(child<QDateEdit>(dialog, "RangeLast")->date(), QDate(2026, 4, 1));
      QCOMPARE(child<QLabel>(dialog, "NotImportedCaption")->text(),
               u"取り込めないもの（2 件）:"_qs);
      QCOMPARE(child<QPlainTextEdit>(dialog, "NotImported")->toPlainText(),
               u"「英会話」（2025/04/21）: 繰り返しの決まりがタイマーの種類（一回だけ・毎週・毎日）"
               "に合わないため、タイマーにはしません\n"
               "「日記」: 日誌（VJOURNAL）は取り込みません"_qs);
      child<QPushButton>(dialog, "AddButton")->click();
    });
    ImportCalendar(s.context, s.views, nullptr);

    QCOMPARE(s.platform.openRequests.size(), 1);
    QCOMPARE(s.platform.openRequests[0].title, u"iCalendar を読み込む"_qs);
    QCOMPARE(s.platform.openRequests[0].filters,
             QStringList({u"iCalendar(*.ics *.ical *.ifb)"_qs, u"All(*.*)"_qs}));
    QCOMPARE(
        s.data(),
        entry(u"2025/05/05"_qs, u"英会話"_qs) + entry(u"2025/04/28"_qs, u"英会話"_qs) +
            entry(u"2025/04/21"_qs, u"英会話"_qs) + entry(u"2025/04/20"_qs, u"既存"_qs) +
            entry(u"2025/04/10"_qs, u"歯医者"_qs, u"駅前の歯科"_qs) +
            entry(u"2025/04/05"_qs, u"花見"_qs) + kMarkerLine +
            timer({u"起床"_qs, u"2"_qs, {}, {}, {}, u"06"_qs, u"00"_qs, {}}) +
            timer({u"歯医者"_qs, u"0"_qs, u"2025"_qs, u"04"_qs, u"10"_qs, u"14"_qs, u"30"_qs, {}}));
    QCOMPARE(s.views.calls, kViewRefresh);
    QVERIFY(s.platform.messages.isEmpty());
  }

  void changingTheRangeCountsAgain() {
    Session s;
    s.calendarFile();
    whenConfirmationOpens([](ImportConfirmDialog* dialog) {
      auto* last = child<QDateEdit>(dialog, "RangeLast");
      last->setDate(QDate(2025, 4, 27));
      QCOMPARE(headline(dialog), u"予定 3 件、タイマー 1 件を追加します。"_qs);
      // The end cannot come before the start.
      child<QDateEdit>(dialog, "RangeFirst")->setDate(QDate(2025, 5, 1));
      QCOMPARE(last->date(), QDate(2025, 5, 1));
      QCOMPARE(headline(dialog), u"予定 2 件、タイマー 1 件を追加します。"_qs);
      child<QDateEdit>(dialog, "RangeFirst")->setDate(QDate(2025, 4, 21));
      last->setDate(QDate(2025, 4, 27));
      QCOMPARE(headline(dialog), u"予定 3 件、タイマー 1 件を追加します。"_qs);
      child<QPushButton>(dialog, "AddButton")->click();
    });
    ImportCalendar(s.context, s.views, nullptr);
    QCOMPARE(
        s.data(),
        entry(u"2025/04/21"_qs, u"英会話"_qs) + entry(u"2025/04/20"_qs, u"既存"_qs) +
            entry(u"2025/04/10"_qs, u"歯医者"_qs, u"駅前の歯科"_qs) +
            entry(u"2025/04/05"_qs, u"花見"_qs) + kMarkerLine +
            timer({u"起床"_qs, u"2"_qs, {}, {}, {}, u"06"_qs, u"00"_qs, {}}) +
            timer({u"歯医者"_qs, u"0"_qs, u"2025"_qs, u"04"_qs, u"10"_qs, u"14"_qs, u"30"_qs, {}}));
  }

  void cancelOrAnAlarmLeavesTheFileAlone() {
    for (bool byAlarm : {false, true}) {
      Session s;
      s.calendarFile();
      whenConfirmationOpens([&s, byAlarm](ImportConfirmDialog* dialog) {
        if (byAlarm) {
          closeOpenWindows(s.context);  // as the alarm pop-up does before it shows itself
        } else {
          child<QPushButton>(dialog, "CancelButton")->click();
        }
      });
      ImportCalendar(s.context, s.views, nullptr);
      QCOMPARE(s.data(), kStored);
      QVERIFY(s.views.calls.isEmpty());
      QVERIFY(!s.context.openWindows.importConfirm);
    }
  }

  // A screen reader announces every control by a name of its own.
  void confirmationControlsHaveUniqueAccessibleNames() {
    Session s;
    s.calendarFile();
    QStringList names;
    QStringList unnamed;
    whenConfirmationOpens([&](ImportConfirmDialog* dialog) {
      for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(dialog) || widget->objectName().isEmpty() ||
            widget->objectName().startsWith(u"qt_"_qs)) {
          continue;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
        if (name.isEmpty()) unnamed << widget->objectName();
        names << name;
      }
      dialog->reject();
    });
    ImportCalendar(s.context, s.views, nullptr);
    QCOMPARE(unnamed, QStringList());
    QVERIFY(names.contains(u"繰り返す予定を追加する期間 開始"_qs));
    QVERIFY(names.contains(u"取り込めないもの"_qs));
    QVERIFY(names.contains(u"追加する"_qs));
    const qsizetype count = names.size();
    names.removeDuplicates();
    QCOMPARE(names.size(), count);
  }

  void readingTheSameCalendarAgainAddsNothing() {
    Session s;
    s.calendarFile();
    whenConfirmationOpens(
        [](ImportConfirmDialog* dialog) { child<QPushButton>(dialog, "AddButton")->click(); });
    ImportCalendar(s.context, s.views, nullptr);
    const QByteArray once = s.data();

    s.calendarFile();
    whenConfirmationOpens([](ImportConfirmDialog* dialog) {
      QCOMPARE(headline(dialog), u"追加できる予定もタイマーもありません。"_qs);
      QCOMPARE(child<QLabel>(dialog, "ImportNotes")->text(),
               u"同じものがすでにある予定 5 件、タイマー 1 件は追加しません。"_qs);
      QVERIFY(!child<QPushButton>(dialog, "AddButton")->isEnabled());
      child<QPushButton>(dialog, "CancelButton")->click();
    });
    ImportCalendar(s.context, s.views, nullptr);
    QCOMPARE(s.data(), once);
  }

  void refusedFilesLeaveTheDataFileAlone_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("cut short")
        << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:x\r\n")
        << u"iCalendar ファイルが壊れています（BEGIN と END の組が閉じていません。"
           "途中で切れているかもしれません）。"_qs;
    QTest::newRow("a spreadsheet")
        << QByteArray("件名,日付\r\n会議,2025/04/10\r\n")
        << u"iCalendar ファイルではありません（BEGIN:VCALENDAR がありません）。"_qs;
  }
  void refusedFilesLeaveTheDataFileAlone() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    Session s;
    const QString path = s.calendarFile(bytes);
    // Should a dialog open, this closes it; the timer goes with the test and fires no later.
    bool dialogOpened = false;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [&dialogOpened] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialogOpened = true;
        dialog->reject();
      }
    });
    guard.start(0);
    ImportCalendar(s.context, s.views, nullptr);
    QVERIFY(!dialogOpened);
    QCOMPARE(s.data(), kStored);
    QVERIFY(s.views.calls.isEmpty());
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(
        s.platform.messages[0].text,
        u"「"_qs + path + u"」を読み込めません。データファイルは変わっていません。\n"_qs + reason);
    QCOMPARE(s.platform.messages[0].title, u"iCalendar を読み込む"_qs);
    QCOMPARE(s.platform.messages[0].icon, MessageIcon::Warning);
  }

  void exportWritesTheChosenFile() {
    Session s(kStored + timer({u"壊れた"_qs, u"2"_qs, {}, {}, {}, u"25"_qs, u"00"_qs, {}}));
    const QString target = s.dir.filePath("out.ics");
    s.platform.saveResults << target;
    ExportCalendar(s.context);

    QCOMPARE(s.platform.saveRequests.size(), 1);
    QCOMPARE(s.platform.saveRequests[0].title, u"iCalendar に書き出す"_qs);
    QCOMPARE(s.platform.saveRequests[0].fileName, s.dir.filePath("data.ics"));
    QVERIFY(s.platform.saveRequests[0].confirmOverwrite);
    QVERIFY(readBytes(target).startsWith("BEGIN:VCALENDAR\r\n"));
    QVERIFY(readBytes(target).contains("SUMMARY:既存\r\n"));
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages[0].text,
             u"予定 1 件、タイマー 1 件を「"_qs + target +
                 u"」に書き出しました。\n\n書き出せなかったもの（1 件）:\n"
                 "・「壊れた」（タイマー）: 時刻を読めません"_qs);
    QCOMPARE(s.platform.messages[0].icon, MessageIcon::None);
  }

  void exportNeverOverwritesTheDataFile() {
    Session s;
    s.platform.saveResults << s.state.CurrentDataFile;
    ExportCalendar(s.context);
    QCOMPARE(s.data(), kStored);
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages[0].text,
             u"使用中のデータファイルには書き出せません。別の名前を指定してください。"_qs);

    // A cancelled dialog writes nothing and says nothing.
    ExportCalendar(s.context);
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files), QStringList{u"data.dat"_qs});
  }

  void mainWindowMenuImportsAndShowsTheEntries() {
    Session s;
    s.state.SelYear = 2025;
    s.state.SelMonth = 4;
    s.state.SelDay = 1;
    s.state.MonthDays[0] = 1;
    MainWindow window(s.context);
    auto* file = window.findChild<QMenu*>(u"File"_qs);
    QVERIFY(file);
    QStringList items;
    for (QAction* action : file->actions()) {
      if (!action->isSeparator()) items << action->text();
    }
    // The sync's two items say what to install where vdirsyncer is missing.
    const bool syncInstalled = !QStandardPaths::findExecutable(u"vdirsyncer"_qs).isEmpty() &&
                               !QStandardPaths::findExecutable(u"secret-tool"_qs).isEmpty();
    QCOMPARE(items.size(), 9);
    if (syncInstalled) {
      QCOMPARE(items.mid(5, 2), QStringList({u"同期の設定…"_qs, u"今すぐ同期"_qs}));
    } else {
      QVERIFY2(
          items[5].startsWith(u"同期の設定…（"_qs) && items[5].contains(u"を入れてください"_qs),
          qPrintable(items[5]));
      QVERIFY2(items[6].startsWith(u"今すぐ同期（sudo apt install "_qs), qPrintable(items[6]));
    }
    items.remove(5, 2);
    QCOMPARE(items, QStringList({u"新規作成"_qs, u"開く"_qs, u"選択した日に予定を追加"_qs,
                                 u"iCalendar に書き出す…"_qs, u"iCalendar を読み込む…"_qs,
                                 u"ログイン時に起動する"_qs, u"終了"_qs}));

    s.calendarFile();
    whenConfirmationOpens(
        [](ImportConfirmDialog* dialog) { child<QPushButton>(dialog, "AddButton")->click(); });
    window.findChild<QAction*>(u"icalImport"_qs)->trigger();
    auto* fifth = window.findChild<QListWidget*>(u"List1(4)"_qs);
    QVERIFY(fifth);
    QCOMPARE(fifth->count(), 1);
    QCOMPARE(fifth->item(0)->text(), u"花見"_qs);

    window.findChild<QAction*>(u"icalExport"_qs)->trigger();
    QCOMPARE(s.platform.saveRequests.size(), 1);  // cancelled by the fake
  }
};

QTEST_MAIN(ExchangeWindowTest)
#include "tst_exchange_window.moc"
