#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "alarm/widgets/AlarmController.h"
#include "alarm/widgets/AlarmPopup.h"
#include "app/MainWindow.h"
#include "calendar/DateNavigation.h"
#include "calendar/widgets/DateDialog.h"
#include "calendar/widgets/HolidayCalendar.h"
#include "editor/widgets/EditorWindow.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

namespace {

const QByteArray kKaigi("\x89\xEF\x8B\x63");  // 会議

QByteArray entry(const char* date, const QByteArray& subject, int done, int remove = 0) {
  return "\"" + QByteArray(date) + "\",\"" + subject + "\",\"\"," + QByteArray::number(done) + "," +
         QByteArray::number(remove) + "\r\n";
}

struct Fixture {
  QTemporaryDir dir;
  FakePlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  std::unique_ptr<MainWindow> window;

  Fixture(const QByteArray& contents, QDate selected, QDate today = QDate(2001, 5, 3)) {
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, contents);
    platform.clock = QDateTime(today, QTime(10, 0, 0));
    state.SelYear = selected.year();
    state.SelMonth = selected.month();
    state.SelDay = selected.day();
    state.MonthDays[0] = 1;
    window = std::make_unique<MainWindow>(context);
  }

  template <typename T>
  T* find(const QString& name) const {
    T* widget = window->findChild<T*>(name);
    if (!widget) qWarning("no control named %s", qPrintable(name));
    return widget;
  }
  QLabel* cellLabel(int day) const {
    return find<QLabel>(QStringLiteral("Label1(%1)").arg(day - 1));
  }
  QListWidget* cellList(int day) const {
    return find<QListWidget>(QStringLiteral("List1(%1)").arg(day - 1));
  }
  QStringList cellItems(int day) const {
    QStringList items;
    QListWidget* list = cellList(day);
    for (int i = 0; i < list->count(); ++i) items.append(list->item(i)->text());
    return items;
  }
  QList<QStringList> dayRows() const {
    QList<QStringList> rows;
    auto* list = find<QTreeWidget>("ListView1");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QStringList row;
      for (int c = 0; c < 4; ++c) row.append(list->topLevelItem(i)->text(c));
      rows.append(row);
    }
    return rows;
  }
  QString heading() const { return find<QLabel>("Label2")->text(); }
  QColor headingColor() const {
    return find<QLabel>("Label2")->palette().color(QPalette::WindowText);
  }
  QAction* action(const char* name) const { return window->findChild<QAction*>(name); }
  QDate selected() const { return QDate(state.SelYear, state.SelMonth, state.SelDay); }
};

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kBlack(0, 0, 0), kMagenta(255, 0, 255),
    kCyan(0, 255, 255), kYellow(255, 255, 0), kWhite(255, 255, 255);

QColor labelBackground(QLabel* label) { return label->palette().color(QPalette::Window); }
QColor labelText(QLabel* label) { return label->palette().color(QPalette::WindowText); }
QColor listBackground(QListWidget* list) { return list->palette().color(QPalette::Base); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  void everyControlIsThereByName() {
    Fixture f(kMarkerLine, QDate(2001, 2, 10));
    QCOMPARE(f.window->objectName(), "Form2");
    QCOMPARE(f.window->windowTitle(), "Yotenna Version 1.1.5");
    for (const char* name : {"Toolbar1", "Label2", "Label3", "ListView1", "ListView2", "Option1(0)",
                             "Option1(1)", "Option1(2)", "Timer1"}) {
      QVERIFY2(f.window->findChild<QObject*>(name), name);
    }
    // 31 cells whatever the month; February 2001 hides the last three.
    for (int k = 0; k < 31; ++k) {
      QVERIFY(f.cellLabel(k + 1));
      QVERIFY(f.cellList(k + 1));
      QCOMPARE(f.cellLabel(k + 1)->isVisibleTo(f.window.get()), k < 28);
    }
    QCOMPARE(f.find<QRadioButton>("Option1(0)")->text(), "まだ");
    QVERIFY(f.find<QRadioButton>("Option1(0)")->isChecked());
    QCOMPARE(f.find<QRadioButton>("Option1(1)")->text(), "終了したもの");
    QCOMPARE(f.find<QRadioButton>("Option1(2)")->text(), "全部");
    QCOMPARE(f.find<QToolBar>("Toolbar1")->actions().size(), 18);

    auto* dayList = f.find<QTreeWidget>("ListView1");
    QCOMPARE(dayList->headerItem()->text(0), "件名");
    QCOMPARE(dayList->headerItem()->text(3), "削除");
    auto* timerList = f.find<QTreeWidget>("ListView2");
    QCOMPARE(timerList->columnCount(), 5);
    QCOMPARE(timerList->headerItem()->text(2), "いつ？");

    struct Item {
      const char* name;
      const char* caption;
      const char* key;
    };
    const QList<Item> items{
        {"new", "新規作成", "Ctrl+Q"},      {"open", "開く", "Ctrl+A"},
        {"end", "終了", "Ctrl+Z"},          {"hyo(0)", "コンパクト", "Ctrl+W"},
        {"hyo(1)", "標準", "Ctrl+S"},       {"hyo(2)", "フル", "Ctrl+X"},
        {"henka1", "一日前へ", "Ctrl+E"},   {"henka2", "一日後へ", "Ctrl+R"},
        {"henka3", "一ヶ月前へ", "Ctrl+D"}, {"henka4", "一ヵ月後へ", "Ctrl+F"},
        {"henka5", "一年前へ", "Ctrl+C"},   {"henka6", "一年後へ", "Ctrl+V"},
        {"henka7", "年月日指定", "Ctrl+T"}, {"kensa", "検索", "Ctrl+Y"},
        {"tu", "使い方", "Ctrl+U"},         {"ver", "バージョン情報", "Ctrl+J"}};
    for (const Item& item : items) {
      QAction* action = f.action(item.name);
      QVERIFY2(action, item.name);
      QCOMPARE(action->text(), QString::fromUtf8(item.caption));
      QCOMPARE(action->shortcut(), QKeySequence(QLatin1String(item.key)));
    }
    QVERIFY(f.action("hyo(1)")->isChecked());
    QStringList menus;
    for (QAction* menu : f.window->menuBar()->actions()) menus.append(menu->text());
    QCOMPARE(menus, QStringList({"ファイル", "表示", "年月日変更", "検索", "ヘルプ"}));
  }

  void dayCellsFormTwoColumns() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    QCOMPARE(f.cellLabel(1)->geometry(), twipsRect(0, 3580, 735, 420));
    QCOMPARE(f.cellList(1)->geometry(), twipsRect(720, 3580, 2960, 420));
    QCOMPARE(f.cellLabel(15)->geometry(), twipsRect(0, 3580 + 14 * 420, 735, 420));
    QCOMPARE(f.cellLabel(16)->geometry(), twipsRect(3675, 3580, 735, 420));
    QCOMPARE(f.cellList(16)->geometry(), twipsRect(4399.28, 3580, 2960, 420));
    QCOMPARE(f.cellLabel(31)->geometry(), twipsRect(3675, 3580 + 15 * 420, 735, 420));
  }

  void monthGridOfMay2001() {
    Fixture f(entry("2001/05/20", "b", 1) + entry("2001/05/03", kKaigi, 0) +
                  entry("2001/05/03", "a", 1) + kMarkerLine,
              QDate(2001, 5, 3));
    QCOMPARE(f.cellLabel(1)->text(), "1 火");
    for (int sunday : {6, 13, 20, 27}) {
      QCOMPARE(labelText(f.cellLabel(sunday)), kRed);
      QCOMPARE(labelBackground(f.cellLabel(sunday)), kMagenta);
      QCOMPARE(listBackground(f.cellList(sunday)), kMagenta);
    }
    for (int saturday : {12, 19, 26}) {
      QCOMPARE(labelText(f.cellLabel(saturday)), kBlue);
      QCOMPARE(labelBackground(f.cellLabel(saturday)), kCyan);
    }
    QCOMPARE(labelBackground(f.cellLabel(7)), kWhite);
    QCOMPARE(labelText(f.cellLabel(7)), kBlack);
    // Holidays first in their cells; today (the 3rd) is yellow even though it is a holiday.
    QCOMPARE(f.cellItems(3), QStringList({"憲法記念日", "会議", "a"}));
    QCOMPARE(labelBackground(f.cellLabel(3)), kYellow);
    QCOMPARE(listBackground(f.cellList(3)), kYellow);
    QCOMPARE(f.cellItems(4), QStringList({"国民の休日"}));
    QCOMPARE(labelBackground(f.cellLabel(4)), kMagenta);
    QCOMPARE(f.cellItems(5), QStringList({"こどもの日"}));
    QCOMPARE(labelBackground(f.cellLabel(5)), kMagenta);
    QCOMPARE(labelText(f.cellLabel(5)), kBlue);  // a Saturday keeps its text colour
    QCOMPARE(f.cellItems(20), QStringList({"b"}));
  }

  // Silver week 2026: three holidays in a row, the middle one a day between two holidays.
  void monthGridOfSeptember2026() {
    Fixture f(entry("2026/09/22", "a", 0) + kMarkerLine, QDate(2026, 9, 22));
    QCOMPARE(f.dayRows(),
             (QList<QStringList>{{"国民の休日", "", "まだ", "残る"}, {"a", "", "まだ", "残る"}}));
    QCOMPARE(f.headingColor(), kRed);
    QCOMPARE(f.cellItems(21), QStringList({"敬老の日"}));
    QCOMPARE(f.cellItems(22), QStringList({"国民の休日", "a"}));
    QCOMPARE(f.cellItems(23), QStringList({"秋分の日"}));
    for (int day : {21, 22, 23}) {
      QCOMPARE(labelBackground(f.cellLabel(day)), kMagenta);
      QCOMPARE(listBackground(f.cellList(day)), kMagenta);
      QCOMPARE(labelText(f.cellLabel(day)), kBlack);
    }
    QCOMPARE(f.cellItems(15), QStringList());  // 敬老の日 is no longer the 15th
    QCOMPARE(labelBackground(f.cellLabel(24)), kWhite);
  }

  void noYellowCellOutsideTheCurrentMonth() {
    Fixture f(kMarkerLine, QDate(2001, 6, 3));
    for (int day = 1; day <= 30; ++day) QVERIFY(labelBackground(f.cellLabel(day)) != kYellow);
  }

  void februaryLengths_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("cells");
    QTest::newRow("1900") << 1900 << 28;
    QTest::newRow("2000") << 2000 << 29;
    QTest::newRow("2001") << 2001 << 28;
  }
  void februaryLengths() {
    QFETCH(int, year);
    QFETCH(int, cells);
    Fixture f(kMarkerLine, QDate(year, 1, 31));
    f.window->moveSelectedDate(DateMove::MonthForward);
    QCOMPARE(f.state.MonthDays[2], cells);
    for (int day = 28; day <= 31; ++day) {
      QCOMPARE(f.cellLabel(day)->isVisibleTo(f.window.get()), day <= cells);
    }
    // A 31-day month shows them again.
    f.window->moveSelectedDate(DateMove::MonthForward);
    QVERIFY(f.cellLabel(31)->isVisibleTo(f.window.get()));
  }

  void holidayRowHeadsTheDayList() {
    Fixture f(entry("2001/01/08", "a", 0) + kMarkerLine, QDate(2001, 1, 8));
    QCOMPARE(f.heading(), "2001/01/08(月)の予定");
    QCOMPARE(f.dayRows(),
             (QList<QStringList>{{"成人の日", "", "まだ", "残る"}, {"a", "", "まだ", "残る"}}));
    QCOMPARE(f.headingColor(), kRed);
    QCOMPARE(f.cellItems(8), QStringList({"成人の日", "a"}));
    QCOMPARE(labelBackground(f.cellLabel(8)), kMagenta);
  }

  void headingColours_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("rows");
    QTest::newRow("2001/09/23 Sunday holiday") << QDate(2001, 9, 23) << kRed << 1;
    QTest::newRow("2001/09/24 substitute Monday") << QDate(2001, 9, 24) << kRed << 1;
    QTest::newRow("2001/09/25 ordinary Tuesday") << QDate(2001, 9, 25) << kBlack << 0;
    QTest::newRow("2001/05/12 Saturday") << QDate(2001, 5, 12) << kBlue << 0;
    QTest::newRow("2000/01/10 second Monday") << QDate(2000, 1, 10) << kRed << 1;
    QTest::newRow("2000/01/15 no longer") << QDate(2000, 1, 15) << kBlue << 0;
    QTest::newRow("2001/10/08 sports day") << QDate(2001, 10, 8) << kRed << 1;
    QTest::newRow("1949/05/03 constitution day") << QDate(1949, 5, 3) << kRed << 1;
    QTest::newRow("1948/05/03 before the act") << QDate(1948, 5, 3) << kBlack << 0;
    QTest::newRow("1949/01/01 new year") << QDate(1949, 1, 1) << kBlue << 1;
  }
  void headingColours() {
    QFETCH(QDate, date);
    QFETCH(QColor, color);
    QFETCH(int, rows);
    Fixture f(kMarkerLine, date);
    if (rows == 1) color = kRed;
    QCOMPARE(f.headingColor(), color);
    QCOMPARE(f.dayRows().size(), rows);
  }

  void filterButtonsChooseTheEntries() {
    Fixture f(entry("2001/05/10", "open", 0) + entry("2001/05/10", "done", 1) +
                  "\"2001/05/10\",\"quoted\",\"\",\"1\",\"0\"\r\n" + kMarkerLine,
              QDate(2001, 5, 10));
    auto subjects = [&] {
      QStringList list;
      for (const QStringList& row : f.dayRows()) list.append(row[0]);
      return list;
    };
    QCOMPARE(subjects(), QStringList({"open"}));
    f.find<QRadioButton>("Option1(1)")->click();
    QCOMPARE(subjects(), QStringList({"done", "quoted"}));
    QCOMPARE(f.dayRows()[1][2], "終了");
    f.find<QRadioButton>("Option1(2)")->click();
    QCOMPARE(subjects(), QStringList({"open", "done", "quoted"}));
    f.find<QRadioButton>("Option1(2)")->click();
    QCOMPARE(subjects().size(), 3);
    // The grid lists every entry whatever the filter.
    QCOMPARE(f.cellItems(10), QStringList({"open", "done", "quoted"}));
  }

  void clickingADayCellSelectsIt() {
    Fixture f(entry("2001/05/31", "last", 0) + kMarkerLine, QDate(2001, 5, 3));
    f.window->show();
    QTest::mouseClick(f.cellLabel(31), Qt::LeftButton);
    QCOMPARE(f.state.SelDay, 31);
    QCOMPARE(f.heading(), "2001/05/31(木)の予定");
    QCOMPARE(f.dayRows().size(), 1);
    QTest::mouseClick(f.cellList(4)->viewport(), Qt::LeftButton);
    QCOMPARE(f.state.SelDay, 4);
    QCOMPARE(f.dayRows()[0][0], "国民の休日");
  }

  void dayMoveInsideTheMonthLeavesTheGrid() {
    Fixture f(kMarkerLine, QDate(2024, 5, 10));
    f.cellList(1)->addItem("painted before");
    f.window->moveSelectedDate(DateMove::DayForward);
    QCOMPARE(f.selected(), QDate(2024, 5, 11));
    QCOMPARE(f.cellItems(1), QStringList({"painted before"}));
    QCOMPARE(f.heading(), "2024/05/11(土)の予定");
    f.state.SelDay = 31;
    f.window->moveSelectedDate(DateMove::DayForward);
    QCOMPARE(f.selected(), QDate(2024, 6, 1));
    QCOMPARE(f.cellItems(1), QStringList());
    QCOMPARE(f.cellLabel(1)->text(), "1 土");
  }

  void movesStopAtTheEndsOfTime_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("day back at 0001")
        << QDate(1, 1, 1) << "henka1" << QDate(1, 1, 1) << "西暦は0001年まで";
    QTest::newRow("month back at 0001")
        << QDate(1, 1, 1) << "henka3" << QDate(1, 1, 1) << "西暦は0001年まで";
    QTest::newRow("year back at 0001")
        << QDate(1, 1, 1) << "henka5" << QDate(1, 1, 1) << "西暦は0001年まで";
    QTest::newRow("day forward at 9999")
        << QDate(9999, 12, 31) << "henka2" << QDate(9999, 12, 31) << "西暦は9999年まで";
    QTest::newRow("month forward at 9999")
        << QDate(9999, 12, 15) << "henka4" << QDate(9999, 12, 15) << "西暦は9999年まで";
    QTest::newRow("year forward at 9999")
        << QDate(9999, 6, 1) << "henka6" << QDate(9999, 6, 1) << "西暦は9999年まで";
    QTest::newRow("month back clamps")
        << QDate(2024, 3, 31) << "henka3" << QDate(2024, 2, 29) << "";
    QTest::newRow("month back 2023") << QDate(2023, 3, 31) << "henka3" << QDate(2023, 2, 28) << "";
    QTest::newRow("month back to April")
        << QDate(2024, 5, 31) << "henka3" << QDate(2024, 4, 30) << "";
    QTest::newRow("year forward from leap day")
        << QDate(2024, 2, 29) << "henka6" << QDate(2025, 2, 28) << "";
    QTest::newRow("year back from leap day")
        << QDate(2024, 2, 29) << "henka5" << QDate(2023, 2, 28) << "";
    QTest::newRow("day back into leap February")
        << QDate(2024, 3, 1) << "henka1" << QDate(2024, 2, 29) << "";
    QTest::newRow("day back over new year")
        << QDate(2024, 1, 1) << "henka1" << QDate(2023, 12, 31) << "";
    QTest::newRow("day forward over new year")
        << QDate(2024, 12, 31) << "henka2" << QDate(2025, 1, 1) << "";
  }
  void movesStopAtTheEndsOfTime() {
    QFETCH(QDate, from);
    QFETCH(QString, menu);
    QFETCH(QDate, to);
    QFETCH(QString, message);
    Fixture f(kMarkerLine, from);
    f.action(menu.toLatin1().constData())->trigger();
    QCOMPARE(f.selected(), to);
    QVERIFY2(f.heading().startsWith(to.toString("yyyy/MM/dd(")), qPrintable(f.heading()));
    if (message.isEmpty()) {
      QCOMPARE(f.platform.messages.size(), 0);
    } else {
      QCOMPARE(f.platform.messages.size(), 1);
      QCOMPARE(f.platform.messages[0].text, message);
      QCOMPARE(f.platform.messages[0].title, "これ以上表示できません。");
      QCOMPARE(f.platform.messages[0].icon, MessageIcon::Warning);
    }
  }

  void shortcutsAndToolbarMoveTheDate() {
    Fixture f(kMarkerLine, QDate(2024, 5, 10));
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    const QList<std::pair<const char*, QDate>> keys{
        {"Ctrl+E", QDate(2024, 5, 9)},  {"Ctrl+R", QDate(2024, 5, 10)},
        {"Ctrl+D", QDate(2024, 4, 10)}, {"Ctrl+F", QDate(2024, 5, 10)},
        {"Ctrl+C", QDate(2023, 5, 10)}, {"Ctrl+V", QDate(2024, 5, 10)}};
    for (const auto& [key, date] : keys) {
      const QKeySequence sequence{QLatin1String(key)};
      QTest::keySequence(f.window.get(), sequence);
      QCOMPARE(f.selected(), date);
    }
    const QList<std::pair<int, QDate>> buttons{{6, QDate(2023, 5, 10)},  {7, QDate(2023, 4, 10)},
                                               {8, QDate(2023, 4, 9)},   {10, QDate(2023, 4, 10)},
                                               {11, QDate(2023, 5, 10)}, {12, QDate(2024, 5, 10)}};
    for (const auto& [position, date] : buttons) {
      f.window->toolbarButtonClicked(position);
      QCOMPARE(f.selected(), date);
    }
    for (int separator : {3, 5, 13, 15}) f.window->toolbarButtonClicked(separator);
    QCOMPARE(f.selected(), QDate(2024, 5, 10));

    // Ctrl+T and button 9 open the date dialog.
    int dialogs = 0;
    auto closeDateDialog = [&] {
      QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        QCOMPARE(modal->objectName(), "Form3");
        ++dialogs;
        modal->close();
      });
    };
    closeDateDialog();
    QTest::keySequence(f.window.get(), QKeySequence(QStringLiteral("Ctrl+T")));
    closeDateDialog();
    f.window->toolbarButtonClicked(9);
    QCOMPARE(dialogs, 2);
    QCOMPARE(f.selected(), QDate(2024, 5, 10));
  }

  void dayBeyondTheMonthIsClamped() {
    Fixture f(kMarkerLine, QDate(2001, 2, 28));
    f.state.SelDay = 31;  // as an add in the editor can leave it
    f.window->refreshDateViews();
    QCOMPARE(f.selected(), QDate(2001, 2, 28));
    QCOMPARE(f.heading(), "2001/02/28(水)の予定");
  }

  void unreadableFileGivesOneMessageAndEmptyViews() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    const QString missing = f.dir.filePath("gone.dat");
    f.state.CurrentDataFile = missing;
    f.platform.messages.clear();
    f.window->refreshAllViews();
    QCOMPARE(f.platform.messages.size(), 1);
    QVERIFY(f.platform.messages[0].text.contains("gone.dat"));
    QVERIFY(f.platform.messages[0].text.contains("見つかりません"));
    QCOMPARE(f.dayRows(), (QList<QStringList>{{"憲法記念日", "", "まだ", "残る"}}));
    QCOMPARE(f.find<QTreeWidget>("ListView2")->topLevelItemCount(), 0);
    QVERIFY(!QFile::exists(missing));
    // The window stays usable.
    f.window->moveSelectedDate(DateMove::DayForward);
    QCOMPARE(f.selected(), QDate(2001, 5, 4));
  }

  void timerListShowsEveryTimer() {
    Fixture f(kMarkerLine + "\"a\",\"0\",\"2001\",\"05\",\"03\",\"07\",\"30\",\"\"\r\n" +
                  "\"b\",\"1\",\"\x8C\x8E\",\"\",\"\",\"08\",\"00\",\"/p.png\"\r\n",
              QDate(2001, 5, 3));
    auto* list = f.find<QTreeWidget>("ListView2");
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(2), "2001/05/03(木)");
    QCOMPARE(list->topLevelItem(0)->text(3), "07:30");
    QCOMPARE(list->topLevelItem(1)->text(1), "毎週");
    QCOMPARE(list->topLevelItem(1)->text(2), "月曜日");
    QCOMPARE(list->topLevelItem(1)->text(4), "/p.png");
  }

  void displayModes() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    auto* client = f.window->centralWidget();
    auto* dayList = f.find<QTreeWidget>("ListView1");
    f.action("hyo(0)")->trigger();
    QCOMPARE(client->height(), twips(4230 - 660));
    QCOMPARE(dayList->height(), twips(2620));
    QVERIFY(f.action("hyo(0)")->isChecked());
    QVERIFY(!f.action("hyo(1)")->isChecked());
    f.action("hyo(2)")->trigger();
    QCOMPARE(client->height(), twips(10965 - 660));
    QCOMPARE(dayList->height(), twips(9340));
    // The day list lies over the month grid: a point of the first cell shows the list.
    const QPoint inFirstCell = f.cellLabel(1)->geometry().center();
    QWidget* shown = client->childAt(inFirstCell);
    QVERIFY(shown == dayList || dayList->isAncestorOf(shown));
    f.action("hyo(2)")->trigger();
    QVERIFY(f.action("hyo(2)")->isChecked());
    f.action("hyo(1)")->trigger();
    QCOMPARE(dayList->height(), twips(2620));
    QVERIFY(f.action("hyo(1)")->isChecked());
    QVERIFY(!f.action("hyo(2)")->isChecked());
  }

  void dateDialogOpensOnTodayAndJumps() {
    Fixture f(kMarkerLine, QDate(1999, 12, 1), QDate(2001, 5, 3));
    f.window->move(100, 50);
    DateDialog dialog(f.context, *f.window, f.window.get());
    QCOMPARE(dialog.objectName(), "Form3");
    QCOMPARE(dialog.windowTitle(), "年月日を指定してね");
    QCOMPARE(dialog.picker()->date(), QDate(2001, 5, 3));
    QCOMPARE(dialog.picker()->minimumDate(), QDate(1601, 1, 1));
    QCOMPARE(dialog.picker()->maximumDate(), QDate(9999, 12, 31));
    QCOMPARE(dialog.picker()->text(), "2001年05月03日  木曜日");
    QCOMPARE(dialog.pos(), QPoint(100, 50 + twips(1000)));
    dialog.findChild<QPushButton*>("Command2")->click();
    QCOMPARE(f.selected(), QDate(1999, 12, 1));

    DateDialog again(f.context, *f.window, f.window.get());
    again.picker()->setDate(QDate(2024, 2, 29));
    again.findChild<QPushButton*>("Command1")->click();
    QCOMPARE(f.selected(), QDate(2024, 2, 29));
    QCOMPARE(f.heading(), "2024/02/29(木)の予定");
    QCOMPARE(again.result(), int(QDialog::Accepted));

    DateDialog last(f.context, *f.window, f.window.get());
    last.picker()->setDate(QDate(9999, 12, 31));
    last.showChosenDate();
    QCOMPARE(f.selected(), QDate(9999, 12, 31));
  }

  // The calendar that drops down from the picker marks what the month grid marks.
  void dateDialogCalendarMarksHolidays() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3), QDate(2026, 12, 8));
    DateDialog dialog(f.context, *f.window, f.window.get());
    dialog.show();
    QDateEdit* picker = dialog.picker();
    auto* calendar = qobject_cast<HolidayCalendar*>(picker->calendarWidget());
    QVERIFY(calendar);
    auto dropDown = [&] {
      QTest::mouseClick(picker, Qt::LeftButton, {},
                        QPoint(picker->width() - 6, picker->height() / 2));
      QVERIFY(calendar->isVisible());
    };
    dropDown();
    QCOMPARE(calendar->heading(), "2026年12月");
    QCOMPARE(calendar->selectedDate(), QDate(2026, 12, 8));
    QCOMPARE(calendar->weekdayTextFormat(Qt::Sunday).foreground().color(), kRed);
    QCOMPARE(calendar->weekdayTextFormat(Qt::Saturday).foreground().color(), kBlue);
    // December 2026 has none of its own; the page's last row shows New Year 2027.
    QCOMPARE(calendar->dateTextFormat(QDate(2027, 1, 1)).background().color(), kMagenta);
    QCOMPARE(calendar->dateTextFormat(QDate(2026, 12, 23)).background().style(), Qt::NoBrush);

    calendar->setCurrentPage(2026, 9);
    QCOMPARE(calendar->heading(), "2026年9月");
    for (int day : {21, 22, 23}) {
      const QTextCharFormat format = calendar->dateTextFormat(QDate(2026, 9, day));
      QCOMPARE(format.background().color(), kMagenta);
      QCOMPARE(format.foreground().color(), kBlack);
    }
    QCOMPARE(calendar->dateTextFormat(QDate(2026, 9, 15)).background().style(), Qt::NoBrush);
    QCOMPARE(calendar->dateTextFormat(QDate(2026, 12, 31)).background().style(), Qt::NoBrush);

    // Each holiday's name is the tooltip of its day.
    calendar->grab();
    auto* view = calendar->findChild<QTableView*>("qt_calendar_calendarview");
    QVERIFY(view);
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
      for (int column = 0; column < view->model()->columnCount(); ++column) {
        const QRect cell = view->visualRect(view->model()->index(row, column));
        if (QString name = calendar->toolTipAt(cell.center()); !name.isEmpty()) names.append(name);
      }
    }
    QCOMPARE(names, QStringList({"敬老の日", "国民の休日", "秋分の日"}));

    // A date set while the calendar is folded away is the page it drops down on.
    calendar->window()->hide();
    picker->setDate(QDate(2019, 5, 10));
    dropDown();
    QCOMPARE(calendar->heading(), "2019年5月");
    QCOMPARE(calendar->dateTextFormat(QDate(2019, 5, 1)).background().color(), kMagenta);
    QCOMPARE(calendar->dateTextFormat(QDate(2019, 5, 6)).background().color(), kMagenta);
    QCOMPARE(calendar->dateTextFormat(QDate(2019, 5, 6)).foreground().color(), kBlack);
    QCOMPARE(calendar->dateTextFormat(QDate(2019, 5, 5)).foreground().color(), kRed);
    QCOMPARE(calendar->dateTextFormat(QDate(2026, 9, 22)).background().style(), Qt::NoBrush);
    calendar->window()->hide();
  }

  // Runs `inspect` on the modal editor once it is shown, then closes it.
  static void whenEditorOpens(const std::function<void(QDialog*)>& inspect) {
    QTimer::singleShot(0, [inspect] {
      auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(editor);
      QCOMPARE(editor->objectName(), "Form5");
      inspect(editor);
      editor->reject();
    });
  }
  static QString comboText(QDialog* editor, const char* name) {
    return editor->findChild<QComboBox*>(name)->currentText();
  }

  void newEntryButtonUsesTheSelectedDate() {
    Fixture f(kMarkerLine, QDate(2025, 1, 5), QDate(2001, 5, 3));
    bool inspected = false;
    whenEditorOpens([&](QDialog* editor) {
      QCOMPARE(comboText(editor, "Combo1"), "2025");
      QCOMPARE(comboText(editor, "Combo2"), "01");
      QCOMPARE(comboText(editor, "Combo3"), "05");
      QVERIFY(editor->findChild<QPushButton*>("Command1")->isEnabled());
      inspected = true;
    });
    f.window->toolbarButtonClicked(4);
    QVERIFY(inspected);
  }

  void addingThroughTheEditorRefreshesTheViews() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    whenEditorOpens([](QDialog* editor) {
      editor->findChild<QComboBox*>("Combo3")->setCurrentText("10");
      editor->findChild<QLineEdit*>("Text1")->setText("new");
      editor->findChild<QPushButton*>("Command1")->click();
    });
    f.window->toolbarButtonClicked(4);
    QCOMPARE(readBytes(f.state.CurrentDataFile),
             "\"2001/05/10\",\"new\",\"\",0,0\r\n" + kMarkerLine);
    QCOMPARE(f.cellItems(10), QStringList({"new"}));
  }

  void clickingListRowsOpensTheEditor() {
    Fixture f(entry("2001/05/10", "done", 1) + kMarkerLine +
                  "\"t\",\"0\",\"2026\",\"12\",\"07\",\"21\",\"30\",\"\"\r\n",
              QDate(2001, 5, 10));
    f.find<QRadioButton>("Option1(2)")->click();
    bool scheduleOpened = false;
    whenEditorOpens([&](QDialog* editor) {
      QVERIFY(editor->findChild<QCheckBox*>("Check1")->isChecked());
      QVERIFY(!editor->findChild<QCheckBox*>("Check2")->isChecked());
      QCOMPARE(editor->findChild<QLineEdit*>("Text1")->text(), "done");
      QVERIFY(!editor->findChild<QComboBox*>("Combo1")->isEnabled());
      scheduleOpened = true;
    });
    auto* dayList = f.find<QTreeWidget>("ListView1");
    emit dayList->itemClicked(dayList->topLevelItem(0), 0);
    QVERIFY(scheduleOpened);
    QCOMPARE(f.state.EditorSnapshot[10], "done");

    bool timerOpened = false;
    whenEditorOpens([&](QDialog* editor) {
      QCOMPARE(comboText(editor, "Combo4"), "2026");
      QCOMPARE(comboText(editor, "Combo5"), "12");
      QCOMPARE(comboText(editor, "Combo6"), "07");
      QCOMPARE(comboText(editor, "Combo8"), "21");
      timerOpened = true;
    });
    auto* timerList = f.find<QTreeWidget>("ListView2");
    emit timerList->itemClicked(timerList->topLevelItem(0), 0);
    QVERIFY(timerOpened);
  }

  // Closes the next modal window and records its name.
  static void recordNextModal(QStringList* opened) {
    QTimer::singleShot(0, [opened] {
      QWidget* modal = QApplication::activeModalWidget();
      opened->append(modal ? modal->objectName() : QStringLiteral("none"));
      if (modal) modal->close();
    });
  }

  void everyToolbarPositionDoesItsCommand() {
    Fixture f(kMarkerLine, QDate(2024, 5, 10));
    QTemporaryDir bin;
    for (const char* program : {"mousepad", "xdg-open", "kolourpaint"}) {
      QFile script(bin.filePath(program));
      QVERIFY(script.open(QIODevice::WriteOnly));
      script.write("#!/bin/sh\n");
      script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));

    QStringList modals;
    struct Expect {
      int position;
      QDate date;
      QString modal;
      QString question;
    };
    const QList<Expect> expectations{
        {1, QDate(2024, 5, 10), "", "新規作成しますか？"},
        {2, QDate(2024, 5, 10), "", "既存のデータを開きますか？"},
        {3, QDate(2024, 5, 10), "", ""},
        {4, QDate(2024, 5, 10), "Form5", ""},
        {5, QDate(2024, 5, 10), "", ""},
        {6, QDate(2023, 5, 10), "", ""},
        {7, QDate(2023, 4, 10), "", ""},
        {8, QDate(2023, 4, 9), "", ""},
        {9, QDate(2023, 4, 9), "Form3", ""},
        {10, QDate(2023, 4, 10), "", ""},
        {11, QDate(2023, 5, 10), "", ""},
        {12, QDate(2024, 5, 10), "", ""},
        {13, QDate(2024, 5, 10), "", ""},
        {14, QDate(2024, 5, 10), "Form6", ""},
        {15, QDate(2024, 5, 10), "", ""},
        {16, QDate(2024, 5, 10), "", ""},
        {17, QDate(2024, 5, 10), "", ""},
        {18, QDate(2024, 5, 10), "", ""},
    };
    for (const Expect& e : expectations) {
      modals.clear();
      f.platform.messages.clear();
      if (!e.modal.isEmpty()) recordNextModal(&modals);
      QAction* action = f.action(QStringLiteral("Toolbar1(%1)").arg(e.position).toLatin1());
      QVERIFY(action);
      action->trigger();
      QCOMPARE(f.selected(), e.date);
      QCOMPARE(modals, e.modal.isEmpty() ? QStringList() : QStringList{e.modal});
      if (e.question.isEmpty()) {
        QCOMPARE(f.platform.messages.size(), 0);
      } else {
        QCOMPARE(f.platform.messages.size(), 1);
        QCOMPARE(f.platform.messages[0].text, e.question);
        QCOMPARE(f.platform.messages[0].icon, MessageIcon::Question);
      }
    }
    QCOMPARE(f.platform.started.size(), 3);
    QCOMPARE(f.platform.started[0].program, bin.filePath("mousepad"));
    QCOMPARE(f.platform.started[1].program, bin.filePath("xdg-open"));
    QCOMPARE(f.platform.started[1].arguments, QStringList({QDir::homePath()}));
    QCOMPARE(f.platform.started[2].program, bin.filePath("kolourpaint"));
    // No dialog was asked for: both confirmations were answered No.
    QVERIFY(f.platform.saveRequests.isEmpty());
    QVERIFY(f.platform.openRequests.isEmpty());

    // With none of the programs installed the user is told what to install.
    qputenv("PATH", QFile::encodeName(f.dir.path()));
    f.platform.messages.clear();
    f.window->toolbarButtonClicked(16);
    qputenv("PATH", savedPath);
    QCOMPARE(f.platform.messages.size(), 1);
    QVERIFY(f.platform.messages[0].text.contains("インストールしてください"));
  }

  void everyMenuItemDoesItsCommand() {
    Fixture f(kMarkerLine, QDate(2024, 5, 10));
    QStringList modals;
    for (const char* name : {"henka7", "kensa", "tu", "ver"}) {
      recordNextModal(&modals);
      f.action(name)->trigger();
    }
    QCOMPARE(modals, QStringList({"Form3", "Form6", "Form7", "frmAbout"}));
    for (const char* name : {"new", "open", "end"}) f.action(name)->trigger();
    QCOMPARE(f.platform.messages.size(), 3);
    QCOMPARE(f.platform.messages[0].text, "新規作成しますか？");
    QCOMPARE(f.platform.messages[1].text, "既存のデータを開きますか？");
    QCOMPARE(f.platform.messages[2].text, "終了しますか？");
    // The date moves and the display modes are covered above; each is one action here.
    f.action("henka2")->trigger();
    QCOMPARE(f.selected(), QDate(2024, 5, 11));
    f.action("hyo(0)")->trigger();
    QVERIFY(f.action("hyo(0)")->isChecked());
  }

  void openWithACancelledDialogStillPurgesAndReloads() {
    Fixture f(entry("2001/05/02", "old", 1, 1) + entry("2001/05/02", "kept", 0) + kMarkerLine,
              QDate(2001, 5, 3));
    QCOMPARE(f.cellItems(2), QStringList({"old", "kept"}));
    f.platform.answers = {MessageAnswer::Yes};
    f.action("open")->trigger();  // the open dialog is cancelled (nothing scripted)
    QCOMPARE(f.platform.openRequests.size(), 1);
    QCOMPARE(readBytes(f.state.CurrentDataFile), entry("2001/05/02", "kept", 0) + kMarkerLine);
    QCOMPARE(f.cellItems(2), QStringList({"kept"}));
  }

  void newDataFileReloadsEveryView() {
    Fixture f(entry("2001/05/03", "a", 0) + kMarkerLine +
                  "\"t\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n",
              QDate(2001, 5, 3));
    const QString fresh = f.dir.filePath("fresh.dat");
    f.platform.answers = {MessageAnswer::Yes};
    f.platform.saveResults = {fresh};
    f.action("new")->trigger();
    QCOMPARE(f.state.CurrentDataFile, fresh);
    QCOMPARE(readBytes(fresh), kMarkerLine);
    QCOMPARE(f.dayRows(), (QList<QStringList>{{"憲法記念日", "", "まだ", "残る"}}));
    QCOMPARE(f.find<QTreeWidget>("ListView2")->topLevelItemCount(), 0);
    QCOMPARE(f.cellItems(3), QStringList({"憲法記念日"}));
  }

  void alarmsFireInCompactMode() {
    // The window opens at 10:00:00 (the fixture's clock); the timer is due a minute later.
    Fixture f(kMarkerLine + "\"morning\",\"2\",\"\",\"\",\"\",\"10\",\"01\",\"\"\r\n",
              QDate(2001, 5, 3));
    f.action("hyo(0)")->trigger();
    f.platform.clock = QDateTime(QDate(2001, 5, 3), QTime(10, 0, 59));
    f.window->alarms()->tick();
    QCOMPARE(f.platform.soundStarts, 0);
    f.platform.clock = QDateTime(QDate(2001, 5, 3), QTime(10, 1, 0));
    f.window->alarms()->tick();
    QVERIFY(f.window->alarms()->popup());
    QVERIFY(f.window->alarms()->popup()->isVisible());
    QCOMPARE(f.platform.soundStarts, 1);
    QVERIFY(f.find<QLabel>("Label3")->text().contains("10:01:00"));
    f.action("hyo(1)")->trigger();
    QCOMPARE(f.find<QTreeWidget>("ListView2")->topLevelItemCount(), 1);
    f.window->alarms()->popup()->close();
  }

  void everyControlHasAUniqueAccessibleName() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    f.window->show();
    QStringList names;
    const auto widgets = f.window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
      if (!widget->isVisibleTo(f.window.get()) || widget->objectName().isEmpty()) continue;
      if (widget->objectName().startsWith("qt_") || widget->objectName() == "Form2.client")
        continue;
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
      QVERIFY(accessible);
      const QString name = accessible->text(QAccessible::Name);
      QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
      if (widget->objectName() != "Label2" && widget->objectName() != "Label3") names.append(name);
    }
    const qsizetype count = names.size();
    names.removeDuplicates();
    QCOMPARE(names.size(), count);
  }

  // An entry added into a shorter month must not leave the 31st of February selected.
  void addIntoAShorterMonthKeepsTheSelectedDateWhole() {
    Fixture f(kMarkerLine, QDate(2001, 1, 31));
    {
      EditorWindow editor(f.context, *f.window, f.window.get());
      editor.prepareNewEntry(f.heading());
      editor.findChild<QComboBox*>("Combo2")->setEditText("02");
      editor.findChild<QComboBox*>("Combo3")->setEditText("10");
      editor.findChild<QLineEdit*>("Text1")->setText("会議");
      editor.findChild<QPushButton*>("Command1")->click();
    }
    QCOMPARE(f.selected(), QDate(2001, 2, 28));
    QCOMPARE(f.heading(), "2001/02/28(水)の予定");
    QCOMPARE(f.cellItems(10), QStringList({"会議"}));
    QVERIFY(f.platform.messages.isEmpty());

    EditorWindow next(f.context, *f.window, f.window.get());
    next.prepareNewEntry(f.heading());
    QCOMPARE(next.scheduleInput().dayText, "28");
    f.window->moveSelectedDate(DateMove::DayForward);
    QCOMPARE(f.selected(), QDate(2001, 3, 1));
  }

  // --- the keyboard ------------------------------------------------------------------------

  static bool showActive(Fixture& f) {
    f.window->show();
    QApplication::setActiveWindow(f.window.get());
    return QTest::qWaitForWindowActive(f.window.get());
  }
  static QString focusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("none");
  }

  void ctrlNOpensANewEntryOnTheSelectedDate() {
    Fixture f(kMarkerLine, QDate(2025, 1, 5), QDate(2001, 5, 3));
    QCOMPARE(f.action("tuika")->text(), "選択した日に予定を追加");
    QCOMPARE(f.action("tuika")->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    QVERIFY(showActive(f));
    bool opened = false;
    whenEditorOpens([&](QDialog* editor) {
      QCOMPARE(comboText(editor, "Combo1"), "2025");
      QCOMPARE(comboText(editor, "Combo2"), "01");
      QCOMPARE(comboText(editor, "Combo3"), "05");
      QVERIFY(editor->findChild<QPushButton*>("Command1")->isEnabled());
      QVERIFY(!editor->findChild<QPushButton*>("Command2")->isEnabled());
      opened = true;
    });
    QTest::keyClick(f.window.get(), Qt::Key_N, Qt::ControlModifier);
    QVERIFY(opened);
  }

  void f10OpensTheMenus() {
    Fixture f(kMarkerLine, QDate(2025, 1, 5));
    QVERIFY(showActive(f));
    QTest::keyClick(f.window.get(), Qt::Key_F10);
    QWidget* menu = QApplication::activePopupWidget();
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), "File");
    // 新規作成, 開く, then 選択した日に予定を追加.
    for (int i = 0; i < 3; ++i) QTest::keyClick(menu, Qt::Key_Down);
    QString day;
    whenEditorOpens([&](QDialog* editor) { day = comboText(editor, "Combo3"); });
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(day, "05");
  }

  void enterOrSpaceOpensARow_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("day list, Enter") << "ListView1" << int(Qt::Key_Return) << "Text1"
                                     << "second";
    QTest::newRow("day list, Space") << "ListView1" << int(Qt::Key_Space) << "Text1"
                                     << "second";
    QTest::newRow("timer list, Enter") << "ListView2" << int(Qt::Key_Enter) << "Text3"
                                       << "late";
    QTest::newRow("timer list, Space") << "ListView2" << int(Qt::Key_Space) << "Text3"
                                       << "late";
  }

  void enterOrSpaceOpensARow() {
    QFETCH(QString, list);
    QFETCH(int, key);
    QFETCH(QString, field);
    QFETCH(QString, text);
    Fixture f(entry("2001/05/10", "first", 0) + entry("2001/05/10", "second", 0) + kMarkerLine +
                  "\"early\",\"2\",\"\",\"\",\"\",\"06\",\"00\",\"\"\r\n" +
                  "\"late\",\"2\",\"\",\"\",\"\",\"22\",\"00\",\"\"\r\n",
              QDate(2001, 5, 10));
    QVERIFY(showActive(f));
    auto* view = f.find<QTreeWidget>(list);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End);  // the last row
    QString opened;
    whenEditorOpens(
        [&](QDialog* editor) { opened = editor->findChild<QLineEdit*>(field)->text(); });
    QTest::keyClick(view, Qt::Key(key));
    QCOMPARE(opened, text);
  }

  void arrowKeysMoveTheSelectedDay_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QDate>("expected");
    // Days 1-15 stand in the left column, 16-31 in the right one.
    QTest::newRow("down") << QDate(2001, 5, 3) << int(Qt::Key_Down) << QDate(2001, 5, 4);
    QTest::newRow("up") << QDate(2001, 5, 3) << int(Qt::Key_Up) << QDate(2001, 5, 2);
    QTest::newRow("up from the 1st") << QDate(2001, 5, 1) << int(Qt::Key_Up) << QDate(2001, 5, 1);
    QTest::newRow("down from the 15th")
        << QDate(2001, 5, 15) << int(Qt::Key_Down) << QDate(2001, 5, 16);
    QTest::newRow("down from the 31st")
        << QDate(2001, 5, 31) << int(Qt::Key_Down) << QDate(2001, 5, 31);
    QTest::newRow("down from April's end")
        << QDate(2001, 4, 30) << int(Qt::Key_Down) << QDate(2001, 4, 30);
    QTest::newRow("right") << QDate(2001, 5, 3) << int(Qt::Key_Right) << QDate(2001, 5, 18);
    QTest::newRow("right from the 15th")
        << QDate(2001, 5, 15) << int(Qt::Key_Right) << QDate(2001, 5, 30);
    QTest::newRow("right in the right column")
        << QDate(2001, 5, 18) << int(Qt::Key_Right) << QDate(2001, 5, 18);
    QTest::newRow("left") << QDate(2001, 5, 18) << int(Qt::Key_Left) << QDate(2001, 5, 3);
    QTest::newRow("left from the 16th")
        << QDate(2001, 5, 16) << int(Qt::Key_Left) << QDate(2001, 5, 1);
    QTest::newRow("left from the 31st, which has no left neighbour")
        << QDate(2001, 5, 31) << int(Qt::Key_Left) << QDate(2001, 5, 31);
    QTest::newRow("left in the left column")
        << QDate(2001, 5, 3) << int(Qt::Key_Left) << QDate(2001, 5, 3);
    QTest::newRow("right past February's end")
        << QDate(2001, 2, 14) << int(Qt::Key_Right) << QDate(2001, 2, 14);
    QTest::newRow("right to a leap day")
        << QDate(2004, 2, 14) << int(Qt::Key_Right) << QDate(2004, 2, 29);
    QTest::newRow("home") << QDate(2001, 5, 20) << int(Qt::Key_Home) << QDate(2001, 5, 1);
    QTest::newRow("end") << QDate(2001, 2, 3) << int(Qt::Key_End) << QDate(2001, 2, 28);
  }

  void arrowKeysMoveTheSelectedDay() {
    QFETCH(QDate, start);
    QFETCH(int, key);
    QFETCH(QDate, expected);
    Fixture f(entry("2001/05/04", "next day", 0) + kMarkerLine, start);
    QVERIFY(showActive(f));
    f.cellList(start.day())->setFocus();
    QCOMPARE(focusName(), QStringLiteral("List1(%1)").arg(start.day() - 1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(f.selected(), expected);
    QVERIFY(f.heading().startsWith(expected.toString("yyyy/MM/dd")));
    // The focus goes with the selected day.
    QCOMPARE(focusName(), QStringLiteral("List1(%1)").arg(expected.day() - 1));
    // Its number is framed, the others not.
    QCOMPARE(f.cellLabel(expected.day())->frameShape(), QFrame::Box);
    if (expected != start) QCOMPARE(f.cellLabel(start.day())->frameShape(), QFrame::NoFrame);
    if (expected == QDate(2001, 5, 4)) QCOMPARE(f.dayRows().last()[0], "next day");
  }

  void theGridIsOneTabStop() {
    Fixture f(entry("2001/05/03", "a", 0) + kMarkerLine +
                  "\"t\",\"2\",\"\",\"\",\"\",\"06\",\"00\",\"\"\r\n",
              QDate(2001, 5, 3));
    QVERIFY(showActive(f));
    f.find<QTreeWidget>("ListView1")->setFocus();
    QStringList stops;
    for (int i = 0; i < 40 && (stops.isEmpty() || stops.last() != "ListView1"); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      stops << focusName();
    }
    QCOMPARE(stops, QStringList({"ListView2", "List1(2)", "Option1(0)", "ListView1"}));
    // After a move, Tab finds the grid at the newly selected day.
    f.window->moveSelectedDate(DateMove::DayForward);
    f.find<QTreeWidget>("ListView2")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(focusName(), "List1(3)");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(focusName(), "ListView2");
  }

  void enterInTheGridOpensANewEntryForThatDay() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    QVERIFY(showActive(f));
    f.cellList(3)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QStringList date;
    whenEditorOpens([&](QDialog* editor) {
      date = {comboText(editor, "Combo1"), comboText(editor, "Combo2"),
              comboText(editor, "Combo3")};
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(date, QStringList({"2001", "05", "05"}));
  }

  void filterFollowsEveryWayOfChecking() {
    Fixture f(entry("2001/05/10", "open", 0) + entry("2001/05/10", "done", 1) + kMarkerLine,
              QDate(2001, 5, 10));
    auto subjects = [&] {
      QStringList list;
      for (const QStringList& row : f.dayRows()) list.append(row[0]);
      return list;
    };
    QVERIFY(showActive(f));
    // The arrow keys move the check between the buttons.
    f.find<QRadioButton>("Option1(0)")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QVERIFY(f.find<QRadioButton>("Option1(1)")->isChecked());
    QCOMPARE(subjects(), QStringList({"done"}));
    // Tab leaves the filter at once; Shift+Tab comes back to the checked button.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(focusName(), "ListView1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focusName(), "Option1(1)");
    // A screen reader's "toggle".
    QAccessibleInterface* all =
        QAccessible::queryAccessibleInterface(f.find<QRadioButton>("Option1(2)"));
    QVERIFY(all->actionInterface());
    all->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(f.find<QRadioButton>("Option1(2)")->isChecked());
    QCOMPARE(subjects(), QStringList({"open", "done"}));
    // A button checked by the program.
    f.find<QRadioButton>("Option1(0)")->setChecked(true);
    QCOMPARE(subjects(), QStringList({"open"}));
  }

  void todaysCellSaysSo() {
    Fixture f(kMarkerLine, QDate(2001, 5, 10), QDate(2001, 5, 3));
    auto name = [&](QWidget* widget) {
      return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    QCOMPARE(name(f.cellLabel(3)), "5月3日 木曜日 今日");
    QCOMPARE(name(f.cellList(3)), "5月3日 木曜日 今日の件名");
    QCOMPARE(name(f.cellLabel(4)), "5月4日 金曜日");
    // Another month has no today.
    f.window->moveSelectedDate(DateMove::MonthForward);
    QCOMPARE(name(f.cellLabel(3)), "6月3日 日曜日");
  }

  void clockIsNamedOnceAMinute() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3), QDate(2001, 5, 3));
    QLabel* clock = f.find<QLabel>("Label3");
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(clock);
    QCOMPARE(node->text(QAccessible::Description), "現在の日付け");
    // Each name the clock had, once, in turn: a new one only when the minute turns.
    QStringList names{node->text(QAccessible::Name)};
    for (int second = 1; second <= 121; ++second) {
      f.platform.clock = QDateTime(QDate(2001, 5, 3), QTime(10, 0, 0).addSecs(second));
      f.window->alarms()->tick();
      if (node->text(QAccessible::Name) != names.last()) names << node->text(QAccessible::Name);
    }
    QVERIFY(clock->text().endsWith("10:02:01です"));
    QCOMPARE(names, QStringList({"今は2001年05月03日木曜日 10:00です",
                                 "今は2001年05月03日木曜日 10:01です",
                                 "今は2001年05月03日木曜日 10:02です"}));
  }

  void toolbarButtonsAreDescribedByTheirTips() {
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    f.window->show();
    auto* toolbar = f.find<QToolBar>("Toolbar1");
    QCOMPARE(toolbar->toolTip(), "ツールバーです");
    QWidget* button = toolbar->widgetForAction(f.action("Toolbar1(4)"));
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(button);
    QCOMPARE(node->text(QAccessible::Name), "選択した日に予定を追加");
    QCOMPARE(node->text(QAccessible::Description),
             "選択した日の予定を編集画面で追加します（Ctrl+N）");
    QCOMPARE(button->toolTip(), node->text(QAccessible::Description));
    auto* more = toolbar->findChild<QToolButton*>("qt_toolbar_ext_button");
    QVERIFY(more);
    QCOMPARE(QAccessible::queryAccessibleInterface(more)->text(QAccessible::Name),
             "ツールバーの残りのボタン");
  }

  void eachButtonIsNamedAndTippedWithItsMenuItemsKey_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("menuItem");  // the item of the same command, if it has one
    QTest::newRow("1") << 1 << "新規作成"
                       << "新しいデータファイルを作ります（Ctrl+Q）"
                       << "new";
    QTest::newRow("2") << 2 << "既存のデータを開く"
                       << "既にあるデータファイルを開きます（Ctrl+A）"
                       << "open";
    QTest::newRow("4") << 4 << "選択した日に予定を追加"
                       << "選択した日の予定を編集画面で追加します（Ctrl+N）"
                       << "tuika";
    QTest::newRow("6") << 6 << "一年前へ"
                       << "一年前の同じ日を表示します（Ctrl+C）"
                       << "henka5";
    QTest::newRow("7") << 7 << "一ヶ月前へ"
                       << "一ヶ月前の同じ日を表示します（Ctrl+D）"
                       << "henka3";
    QTest::newRow("8") << 8 << "一日前へ"
                       << "前の日を表示します（Ctrl+E）"
                       << "henka1";
    QTest::newRow("9") << 9 << "年月日指定"
                       << "年月日を指定して表示します（Ctrl+T）"
                       << "henka7";
    QTest::newRow("10") << 10 << "一日後へ"
                        << "次の日を表示します（Ctrl+R）"
                        << "henka2";
    QTest::newRow("11") << 11 << "一ヵ月後へ"
                        << "一ヵ月後の同じ日を表示します（Ctrl+F）"
                        << "henka4";
    QTest::newRow("12") << 12 << "一年後へ"
                        << "一年後の同じ日を表示します（Ctrl+V）"
                        << "henka6";
    QTest::newRow("14") << 14 << "検索"
                        << "予定を検索します（Ctrl+Y）"
                        << "kensa";
    QTest::newRow("16") << 16 << "テキストエディタを起動"
                        << "テキストエディタを起動します"
                        << "";
    QTest::newRow("17") << 17 << "ファイルブラウザを起動"
                        << "ホームフォルダをファイルブラウザで開きます"
                        << "";
    QTest::newRow("18") << 18 << "ペイントソフトを起動"
                        << "ペイントソフトを起動します"
                        << "";
  }

  void eachButtonIsNamedAndTippedWithItsMenuItemsKey() {
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, tip);
    QFETCH(QString, menuItem);
    Fixture f(kMarkerLine, QDate(2001, 5, 3));
    QAction* button = f.action(QStringLiteral("Toolbar1(%1)").arg(position).toLatin1());
    QVERIFY(button);
    QCOMPARE(button->toolTip(), tip);
    QCOMPARE(f.find<QToolBar>("Toolbar1")->widgetForAction(button)->accessibleName(), name);
    if (menuItem.isEmpty()) return;
    const QString key = f.action(menuItem.toLatin1())->shortcut().toString();
    QVERIFY2(tip.endsWith(QStringLiteral("（%1）").arg(key)), qPrintable(key));
  }

  void dateDialogClosesWithEsc() {
    Fixture f(kMarkerLine, QDate(1999, 12, 1), QDate(2001, 5, 3));
    DateDialog dialog(f.context, *f.window, f.window.get());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    // From the picker too, where the keys change the date.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(focusName(), "DTPicker1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(f.selected(), QDate(1999, 12, 1));
  }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
