// Every window as a screen reader is given it: every control named, no two alike, no combo box
// announced by its value, the lists of rows tables. A new window is one more entry in
// windowCases().

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "alarm/widgets/AlarmPopup.h"
#include "app/MainWindow.h"
#include "app/StartupWindow.h"
#include "app/StatusIcon.h"
#include "calendar/widgets/DateDialog.h"
#include "dialogs/widgets/SearchWindow.h"
#include "dialogs/widgets/UsageHelpWindow.h"
#include "dialogs/widgets/VersionWindow.h"
#include "editor/widgets/EditorWindow.h"
#include "exchange/widgets/ImportConfirmDialog.h"
#include "exchange/widgets/SyncSetupDialog.h"
#include "support/AccessibleTree.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "support/TestFiles.h"
#include "ui/Accessibility.h"
#include "ui/UiSupport.h"

namespace {

const QByteArray kKaigi("\x89\xEF\x8B\x63");  // 会議
const QByteArray kAsa("\x92\xA9");            // 朝

// A day with an open and a finished entry, a once-only and a daily timer with a picture.
const QByteArray kData = "\"2001/05/03\",\"" + kKaigi + "\",\"room 1\",0,0\r\n" +
                         "\"2001/05/03\",\"lunch\",\"\",1,0\r\n" + kMarkerLine + "\"" + kAsa +
                         "\",\"0\",\"2001\",\"05\",\"04\",\"07\",\"30\",\"\"\r\n" +
                         "\"gym\",\"2\",\"\",\"\",\"\",\"18\",\"00\",\"/pics/gym.png\"\r\n";
const QString kHeading = QStringLiteral("2001/05/03(木)の予定");

// What a window of the program needs, "now" being Thursday 2001/05/03 10:00.
struct Session {
  QTemporaryDir dir;
  FakePlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  FakeViews views;
  std::vector<std::unique_ptr<QWidget>> windows;

  Session() {
    platform.clock = QDateTime(QDate(2001, 5, 3), QTime(10, 0, 0));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    platform.pictures.insert(QStringLiteral("/pics/gym.png"), picture);
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, kData);
    state.SelYear = 2001;
    state.SelMonth = 5;
    state.SelDay = 3;
    state.MonthDays[0] = 1;
  }

  template <typename T>
  T* keep(T* window) {
    windows.emplace_back(window);
    return window;
  }
};

template <typename T>
T* child(QWidget* window, const char* name) {
  T* widget = window->findChild<T*>(QLatin1String(name));
  if (!widget) qFatal("no control %s", name);
  return widget;
}

struct WindowCase {
  const char* name;
  std::function<QWidget*(Session&)> open;  // makes the window in the state to check
};

EditorWindow* editorWithEntry(Session& s) {
  auto* editor = s.keep(new EditorWindow(s.context, s.views));
  editor->openScheduleRow(kHeading, {QStringLiteral("会議"), QStringLiteral("room 1"),
                                     QStringLiteral("まだ"), QStringLiteral("残る")});
  return editor;
}

// Every window of the program, in each state that shows other controls.
const QList<WindowCase>& windowCases() {
  static const QList<WindowCase> cases{
      {"start-up",
       [](Session& s) -> QWidget* {
         auto* window = s.keep(new StartupWindow(s.context));
         window->load();
         return window;
       }},
      {"main", [](Session& s) -> QWidget* { return s.keep(new MainWindow(s.context)); }},
      {"status icon's menu",
       [](Session& s) -> QWidget* {
         auto* main = s.keep(new MainWindow(s.context));
         auto* icon = new StatusIcon(s.context, *main, main);
         return icon->menu();
       }},
      {"date dialog",
       [](Session& s) -> QWidget* { return s.keep(new DateDialog(s.context, s.views, nullptr)); }},
      {"date dialog, its calendar",
       [](Session& s) -> QWidget* {
         auto* dialog = s.keep(new DateDialog(s.context, s.views, nullptr));
         return dialog->picker()->calendarWidget()->window();
       }},
      {"editor, new entry",
       [](Session& s) -> QWidget* {
         auto* editor = s.keep(new EditorWindow(s.context, s.views));
         editor->prepareNewEntry(kHeading);
         return editor;
       }},
      {"editor, opened entry", [](Session& s) -> QWidget* { return editorWithEntry(s); }},
      {"editor, opened timer",
       [](Session& s) -> QWidget* {
         auto* editor = s.keep(new EditorWindow(s.context, s.views));
         editor->openTimerRow({QStringLiteral("gym"), QStringLiteral("毎週"),
                               QStringLiteral("木曜日"), QStringLiteral("18:00"),
                               QStringLiteral("/pics/gym.png")});
         return editor;
       }},
      {"editor, after reset",
       [](Session& s) -> QWidget* {
         EditorWindow* editor = editorWithEntry(s);
         child<QPushButton>(editor, "Command4")->click();
         child<QPushButton>(editor, "Command9")->click();
         return editor;
       }},
      {"alarm pop-up",
       [](Session& s) -> QWidget* {
         auto* popup = s.keep(new AlarmPopup(s.context, s.views));
         popup->load();
         popup->setPicture(s.platform.pictures.value(QStringLiteral("/pics/gym.png")));
         popup->setTitle(QStringLiteral("gym"));
         return popup;
       }},
      {"alarm pop-up, late",
       [](Session& s) -> QWidget* {
         auto* popup = s.keep(new AlarmPopup(s.context, s.views));
         popup->load();
         popup->setTitle(QStringLiteral("gym"));
         popup->setDueTime(QStringLiteral("18:00"), true);
         return popup;
       }},
      {"search",
       [](Session& s) -> QWidget* {
         auto* window = s.keep(new SearchWindow(s.context, s.views));
         child<QLineEdit>(window, "Text1")->setText(QStringLiteral("会"));
         window->startSearch();
         return window;
       }},
      {"import confirmation",
       [](Session& s) -> QWidget* {
         auto recount = [](const QDate&, const QDate&) {
           ImportSummary summary;
           summary.headline = QStringLiteral("予定 2 件、タイマー 1 件を追加します。");
           summary.notes = {QStringLiteral("21 文字を超える件名は切り詰めます。")};
           summary.notImported = {QStringLiteral("会議: 開始日時がありません")};
           summary.anythingToAdd = true;
           return summary;
         };
         return s.keep(new ImportConfirmDialog(QStringLiteral("/tmp/cal.ics"), QDate(2001, 5, 1),
                                               QDate(2002, 4, 30), recount));
       }},
      {"sync setup",
       [](Session& s) -> QWidget* {
         return s.keep(new SyncSetupDialog(s.context, QStringLiteral("/tmp/a.dat"),
                                           QStringLiteral("最後の同期: 2001/05/03 07:30")));
       }},
      {"usage help",
       [](Session& s) -> QWidget* {
         return s.keep(new UsageHelpWindow(s.context, s.views, nullptr));
       }},
      {"version",
       [](Session& s) -> QWidget* {
         return s.keep(new VersionWindow(s.context, s.views, nullptr));
       }},
  };
  return cases;
}

QStringList childNames(QAccessibleInterface* node) {
  QStringList names;
  for (int i = 0; i < node->childCount(); ++i) {
    if (QObject* object = node->child(i)->object()) names << object->objectName();
  }
  return names;
}

}  // namespace

class AccessibleTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    installJapaneseLanguage(*qApp);
    installAccessibleInterfaces();
  }

  void everyWindow_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < windowCases().size(); ++i) QTest::newRow(windowCases()[i].name) << i;
  }

  void everyWindow() {
    QFETCH(int, index);
    Session s;
    QWidget* window = windowCases()[index].open(s);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    int checked = 0;
    const QStringList problems = accessibletree::problems(window, &checked);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    // The walk went past the window itself.
    QVERIFY(checked > 1);
  }

  // The lists of rows are tables to a screen reader (Qt makes them trees), with a row a line
  // of cells under the captions.
  void reportListsAreTables_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("rows");
    QTest::newRow("day list") << "main"
                              << "ListView1" << 2;
    QTest::newRow("timer list") << "main"
                                << "ListView2" << 2;
    QTest::newRow("search results") << "search"
                                    << "ListView1" << 1;
  }
  void reportListsAreTables() {
    QFETCH(QString, window);
    QFETCH(QString, list);
    QFETCH(int, rows);
    Session s;
    const auto found = std::find_if(windowCases().begin(), windowCases().end(),
                                    [&](const WindowCase& c) { return window == c.name; });
    QVERIFY(found != windowCases().end());
    QWidget* shown = found->open(s);
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    auto* view = shown->findChild<QAbstractItemView*>(list);
    QVERIFY(view);
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(view);
    QCOMPARE(node->role(), QAccessible::Table);
    QVERIFY(node->tableInterface());
    QCOMPARE(node->tableInterface()->rowCount(), rows);
    QAccessibleInterface* cell = node->tableInterface()->cellAt(0, 0);
    QVERIFY(cell);
    QCOMPARE(cell->role(), QAccessible::Cell);
    QCOMPARE(node->child(0)->role(), QAccessible::ColumnHeader);
  }

  // The walk must find what it is there to find, or its silence means nothing.
  void walkFindsEachFault() {
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("Faulty"));
    auto* first = new QPushButton(QStringLiteral("追加"), &dialog);
    first->setObjectName(QStringLiteral("First"));
    auto* second = new QPushButton(QStringLiteral("追加"), &dialog);
    second->setObjectName(QStringLiteral("Second"));
    auto* bare = new QPushButton(&dialog);
    bare->setObjectName(QStringLiteral("Bare"));
    auto* year = new QComboBox(&dialog);
    year->setObjectName(QStringLiteral("Year"));
    year->addItems({QStringLiteral("2001"), QStringLiteral("2002")});
    year->view()->setAccessibleName(QStringLiteral("年の一覧"));
    auto* padded = new QLabel(QStringLiteral("説明　　　　本文"), &dialog);
    padded->setObjectName(QStringLiteral("Padded"));
    // A label may share a button's name: the role tells them apart.
    new QLabel(QStringLiteral("追加"), &dialog);
    dialog.show();
    QCOMPARE(
        accessibletree::problems(&dialog),
        QStringList({"Faulty: Button Second has the name 「追加」 of First",
                     "Faulty: Button Bare has no name",
                     "Faulty: ComboBox Year is named by its value 「2001」",
                     "Faulty: StaticText Padded has blanks in its name 「説明　　　　本文」"}));
  }

  void comboBoxIsNamedByItsLabelWithItsValue() {
    Session s;
    auto* editor = s.keep(new EditorWindow(s.context, s.views));
    editor->prepareNewEntry(kHeading);
    struct Expect {
      const char* control;
      const char* name;
      const char* value;
    };
    for (const Expect& e :
         {Expect{"Combo1", "予定の年", "2001"}, Expect{"Combo2", "予定の月", "05"},
          Expect{"Combo3", "予定の日", "03"}, Expect{"Combo7", "タイマーの曜日", "木"},
          Expect{"Combo8", "タイマーの時", "10"}}) {
      QAccessibleInterface* box =
          QAccessible::queryAccessibleInterface(child<QComboBox>(editor, e.control));
      QCOMPARE(box->role(), QAccessible::ComboBox);
      QCOMPARE(box->text(QAccessible::Name), QString::fromUtf8(e.name));
      QCOMPARE(box->text(QAccessible::Value), QString::fromUtf8(e.value));
    }
    // The value follows what is typed or chosen; the name stays.
    auto* month = child<QComboBox>(editor, "Combo2");
    month->setCurrentIndex(11);
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(month);
    QCOMPARE(box->text(QAccessible::Value), "12");
    QCOMPARE(box->text(QAccessible::Name), "予定の月");
    // Its field and its list are there for a screen reader as Qt gives them.
    QCOMPARE(box->childCount(), 2);
    QCOMPARE(box->child(0)->object(), month->view());
    QCOMPARE(box->child(1)->object(), month->lineEdit());
    QCOMPARE(box->indexOfChild(box->child(1)), 1);
    QVERIFY(box->actionInterface());
    QVERIFY(
        box->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
  }

  void decorativeLinesAreLeftOut() {
    Session s;
    auto* editor = s.keep(new EditorWindow(s.context, s.views));
    editor->prepareNewEntry(kHeading);
    editor->show();
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(editor);
    QCOMPARE(node->role(), QAccessible::Dialog);
    const QStringList names = childNames(node);
    QVERIFY(names.contains("Command5"));
    QVERIFY(names.contains("Combo1"));
    for (const char* line : {"Line1", "Line2", "Line3", "Line4"}) {
      QVERIFY2(!names.contains(line), line);
      QVERIFY(child<QWidget>(editor, line)->isVisible());  // still drawn
    }
    for (int i = 0; i < node->childCount(); ++i) QCOMPARE(node->indexOfChild(node->child(i)), i);

    auto* version = s.keep(new VersionWindow(s.context, s.views, nullptr));
    const QStringList versionNames = childNames(QAccessible::queryAccessibleInterface(version));
    QVERIFY(versionNames.contains("cmdOK"));
    QVERIFY(!versionNames.contains("Line1(0)"));
    QVERIFY(!versionNames.contains("Line1(1)"));
  }

  void spokenTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("clock");
    QTest::newRow("clock") << QStringLiteral("今は2001年05月03日木曜日         10:00:59です")
                           << QStringLiteral("今は2001年05月03日木曜日 10:00:59です")
                           << QStringLiteral("今は2001年05月03日木曜日 10:00です");
    QTest::newRow("full-width blanks")
        << QStringLiteral("アプリケーションの説明") + QString(48, QChar(0x3000)) +
               QStringLiteral("カレンダーに")
        << QStringLiteral("アプリケーションの説明 カレンダーに")
        << QStringLiteral("アプリケーションの説明 カレンダーに");
    QTest::newRow("ends") << QStringLiteral("  予定\u3000") << QStringLiteral("予定")
                          << QStringLiteral("予定");
    QTest::newRow("hours and minutes only")
        << QStringLiteral("10:00 まで") << QStringLiteral("10:00 まで")
        << QStringLiteral("10:00 まで");
  }

  void spokenTexts() {
    QFETCH(QString, text);
    QFETCH(QString, spoken);
    QFETCH(QString, clock);
    QCOMPARE(spokenText(text), spoken);
    QCOMPARE(spokenClockText(text), clock);
  }
};

QTEST_MAIN(AccessibleTreeTest)
#include "tst_accessible_tree.moc"
