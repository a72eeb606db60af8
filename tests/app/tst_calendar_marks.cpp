#include <QAction>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "calendar/DateNavigation.h"
#include "calendar/Koyomi.h"
#include "calendar/widgets/DateDialog.h"
#include "calendar/widgets/DayListPanel.h"
#include "calendar/widgets/HolidayCalendar.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"
#include "ui/MarkSettings.h"
#include "ui/UiSupport.h"

namespace {

constexpr int kAll = koyomi::Rokuyo | koyomi::LunisolarAndEra | koyomi::Seasons;

struct Fixture {
  QTemporaryDir dir;
  FakePlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  std::unique_ptr<MainWindow> window;
  QList<int> kept;  // what the window asked to keep for the next run

  Fixture(int marks, QDate selected, const QByteArray& contents = kMarkerLine) {
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, contents);
    platform.clock = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0));
    state.SelYear = selected.year();
    state.SelMonth = selected.month();
    state.SelDay = selected.day();
    state.MonthDays[0] = 1;
    context.shownMarks = marks;
    context.keepShownMarks = [this](int kinds) { kept.append(kinds); };
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
  QStringList cellItems(int day) const {
    QStringList items;
    auto* list = find<QListWidget>(QStringLiteral("List1(%1)").arg(day - 1));
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
  // The marks beside the heading; empty while they are hidden.
  QString headingMarks() const {
    auto* label = find<QLabel>("KoyomiMarks");
    return label->isVisibleTo(window.get()) ? label->text() : QString();
  }
  QAction* action(const char* name) const { return window->findChild<QAction*>(name); }
};

}  // namespace

class CalendarMarksTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    installJapaneseLanguage(*qApp);
    QStandardPaths::setTestModeEnabled(true);  // the settings file goes to a test folder
    QCoreApplication::setApplicationName(QStringLiteral("Yotenna"));
  }

  void noneChosenLeavesTheWindowAsItWas() {
    Fixture f(0, QDate(2026, 3, 20));
    QCOMPARE(f.headingMarks(), QString());
    QCOMPARE(f.cellItems(20), QStringList({"春分の日"}));
    QCOMPARE(f.cellItems(17), QStringList());
    QCOMPARE(f.dayRows(), QList<QStringList>({{"春分の日", "", "まだ", "残る"}}));
    QCOMPARE(f.cellLabel(20)->accessibleName(), "3月20日 金曜日");
    const QList<std::pair<const char*, const char*>> items{{"koyomi(0)", "六曜を表示"},
                                                           {"koyomi(1)", "旧暦と和暦を表示"},
                                                           {"koyomi(2)", "二十四節気・雑節を表示"}};
    for (const auto& [name, caption] : items) {
      QAction* action = f.action(name);
      QVERIFY2(action, name);
      QCOMPARE(action->text(), QString::fromUtf8(caption));
      QVERIFY(action->isCheckable());
      QVERIFY(!action->isChecked());
      QVERIFY(f.window->findChild<QMenu*>("hyouzi")->actions().contains(action));
    }
  }

  void eachKind_data() {
    QTest::addColumn<int>("kinds");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QStringList>("solstice");  // the cell of 2026-12-22
    QTest::addColumn<QStringList>("newMoon");   // the cell of 2026-12-09
    QTest::addColumn<QList<QStringList>>("rows");
    const QList<QStringList> noRows;
    const QList<QStringList> termRow{{"冬至", "二十四節気", "", ""}};
    QTest::newRow("六曜") << int(koyomi::Rokuyo) << "赤口" << QStringList{"赤口"}
                          << QStringList{"大安"} << noRows;
    QTest::newRow("旧暦と和暦") << int(koyomi::LunisolarAndEra) << "旧11月14日　令和8年"
                                << QStringList() << QStringList() << noRows;
    QTest::newRow("二十四節気・雑節")
        << int(koyomi::Seasons) << "冬至" << QStringList{"冬至"} << QStringList() << termRow;
    QTest::newRow("all") << kAll << "赤口　旧11月14日　令和8年　冬至" << QStringList{"赤口　冬至"}
                         << QStringList{"大安"} << termRow;
  }

  void eachKind() {
    QFETCH(int, kinds);
    QFETCH(QString, heading);
    QFETCH(QStringList, solstice);
    QFETCH(QStringList, newMoon);
    QFETCH(QList<QStringList>, rows);
    Fixture f(kinds, QDate(2026, 12, 22),
              "\"2026/12/22\",\"\x89\xEF\x8B\x63\",\"\",0,0\r\n" + QByteArray(kMarkerLine));
    QCOMPARE(f.headingMarks(), heading);
    // The heading itself is as it was: the editor reads the date from it.
    QCOMPARE(f.find<QLabel>("Label2")->text(), "2026/12/22(火)の予定");
    QCOMPARE(f.cellItems(22), solstice + QStringList{"会議"});
    QCOMPARE(f.cellItems(9), newMoon);
    const QList<QStringList> entryRow{{"会議", "", "まだ", "残る"}};
    QCOMPARE(f.dayRows(), rows + entryRow);
  }

  void termsAndSeasonalDaysBesideHolidays() {
    Fixture f(koyomi::Seasons, QDate(2026, 3, 20));
    QCOMPARE(f.dayRows(), QList<QStringList>(
                              {{"春分の日", "", "まだ", "残る"}, {"春分", "二十四節気", "", ""}}));
    QCOMPARE(f.cellItems(20), QStringList({"春分", "春分の日"}));
    QCOMPARE(f.cellItems(17), QStringList({"彼岸の入り"}));
    f.window->moveSelectedDate(DateMove::DayBack);
    f.window->moveSelectedDate(DateMove::DayBack);
    f.window->moveSelectedDate(DateMove::DayBack);
    QCOMPARE(f.dayRows(), QList<QStringList>({{"彼岸の入り", "雑節", "", ""}}));
  }

  // A mark's row is no entry: opening it opens no editor.
  void markRowsOpenNothing() {
    Fixture f(koyomi::Seasons, QDate(2026, 3, 20));
    auto* panel = f.window->findChild<DayListPanel*>();
    QVERIFY(panel);
    // The window's editor is not wanted here, only whether the panel asks for it.
    QObject::disconnect(panel, &DayListPanel::rowOpened, nullptr, nullptr);
    QSignalSpy opened(panel, &DayListPanel::rowOpened);
    auto* list = f.find<QTreeWidget>("ListView1");
    emit list->itemClicked(list->topLevelItem(1), 0);
    QCOMPARE(opened.count(), 0);
    emit list->itemClicked(list->topLevelItem(0), 0);  // the holiday's row, as before
    QCOMPARE(opened.count(), 1);
  }

  void screenReadersHearTheMarks() {
    Fixture f(kAll, QDate(2026, 12, 9));
    QCOMPARE(f.cellLabel(9)->accessibleName(), "12月9日 水曜日 大安　旧11月1日　令和8年");
    QCOMPARE(f.cellLabel(8)->accessibleName(), "12月8日 火曜日 今日 先負　旧10月30日　令和8年");
    QCOMPARE(f.find<QLabel>("KoyomiMarks")->accessibleName(), "暦 大安　旧11月1日　令和8年");
  }

  void choosingKeepsTheChoice() {
    Fixture f(0, QDate(2026, 12, 9));
    f.action("koyomi(0)")->trigger();
    QCOMPARE(f.context.shownMarks, int(koyomi::Rokuyo));
    QCOMPARE(f.kept, QList<int>({koyomi::Rokuyo}));
    QCOMPARE(f.cellItems(9), QStringList({"大安"}));
    QCOMPARE(f.headingMarks(), "大安");
    f.action("koyomi(1)")->trigger();
    QCOMPARE(f.headingMarks(), "大安　旧11月1日　令和8年");
    f.action("koyomi(0)")->trigger();
    f.action("koyomi(1)")->trigger();
    QCOMPARE(f.kept.last(), 0);
    QCOMPARE(f.cellItems(9), QStringList());
    QCOMPARE(f.headingMarks(), QString());

    Fixture shown(koyomi::Seasons | koyomi::Rokuyo, QDate(2026, 12, 9));
    QVERIFY(shown.action("koyomi(0)")->isChecked());
    QVERIFY(!shown.action("koyomi(1)")->isChecked());
    QVERIFY(shown.action("koyomi(2)")->isChecked());
    QVERIFY(shown.kept.isEmpty());
  }

  void nothingOutsideTheRange() {
    Fixture f(kAll, QDate(1872, 12, 31));
    QCOMPARE(f.headingMarks(), QString());
    QCOMPARE(f.cellItems(31), QStringList());
    QCOMPARE(f.cellLabel(31)->accessibleName(), "12月31日 火曜日");
    f.window->moveSelectedDate(DateMove::DayForward);
    QCOMPARE(f.headingMarks(), "友引　旧12月3日　明治6年");
    QCOMPARE(f.cellItems(1), QStringList({"友引", "元日"}));
  }

  void dateDialogNamesTheMarksOnHover() {
    Fixture f(kAll, QDate(2026, 9, 1));
    DateDialog dialog(f.context, *f.window, f.window.get());
    dialog.show();
    auto* calendar = qobject_cast<HolidayCalendar*>(dialog.picker()->calendarWidget());
    QVERIFY(calendar);
    calendar->setCurrentPage(2026, 9);
    calendar->resize(400, 300);
    calendar->grab();
    auto* view = calendar->findChild<QTableView*>("qt_calendar_calendarview");
    QVERIFY(view);
    QMap<QString, QString> tips;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
      for (int column = 0; column < view->model()->columnCount(); ++column) {
        const QRect cell = view->visualRect(view->model()->index(row, column));
        tips.insert(QString::number(row * 10 + column), calendar->toolTipAt(cell.center()));
      }
    }
    QVERIFY(tips.values().contains("秋分の日\n友引　旧8月13日　令和8年　秋分"));
    QVERIFY(tips.values().contains("大安　旧8月10日　令和8年　彼岸の入り"));
    QVERIFY(tips.values().contains("赤口　旧8月5日　令和8年"));  // 9/15
  }

  void settingsFile() {
    QFile::remove(markSettingsFile());
    QVERIFY(markSettingsFile().endsWith("/Yotenna/yotenna.conf"));
    QCOMPARE(loadShownMarks(), 0);
    QVERIFY(saveShownMarks(koyomi::Rokuyo | koyomi::Seasons));
    QCOMPARE(loadShownMarks(), koyomi::Rokuyo | koyomi::Seasons);
    QFile file(markSettingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("rokuyo=true"));
    QVERIFY(text.contains("lunisolar_and_era=false"));
    QVERIFY(text.contains("solar_terms_and_seasonal_days=true"));
    file.close();
    QVERIFY(saveShownMarks(0));
    QCOMPARE(loadShownMarks(), 0);
    QFile::remove(markSettingsFile());
  }
};

QTEST_MAIN(CalendarMarksTest)
#include "tst_calendar_marks.moc"
