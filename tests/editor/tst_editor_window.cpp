#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "editor/widgets/EditorWindow.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

namespace {

// CP932 bytes of the texts used below.
const QByteArray kKaigi("\x89\xEF\x8B\x63");    // 会議
const QByteArray kShiryou("\x8E\x91\x97\xBF");  // 資料
const QByteArray kKishou("\x8B\x4E\x8F\xB0");   // 起床
const QByteArray kKusuri("\x96\xF2");           // 薬

QByteArray entryLine(const QByteArray& date, const QByteArray& subject, const QByteArray& content,
                     const QByteArray& flags = "0,0") {
  return "\"" + date + "\",\"" + subject + "\",\"" + content + "\"," + flags + "\r\n";
}

QByteArray timerLine(const QByteArrayList& fields) {
  QByteArray line;
  for (const QByteArray& field : fields) line += (line.isEmpty() ? "\"" : ",\"") + field + "\"";
  return line + "\r\n";
}

const QByteArray kOldEntry = entryLine("2024/03/01", "old", "");
const QByteArray kMeeting = entryLine("2025/01/05", kKaigi, kShiryou);
const QByteArray kMedicine = timerLine({kKusuri, "0", "2026", "12", "07", "21", "05", ""});
const QByteArray kWakeUp = timerLine({kKishou, "2", "", "", "", "06", "00", "/pics/gone.bmp"});

// The main window's views, as the editor calls them.

// One editor over a temporary data file; "now" is Saturday 2024/06/15 10:00.
struct Session {
  QTemporaryDir dir;
  FakePlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  FakeViews views;
  EditorWindow window{context, views, nullptr};

  explicit Session(const QByteArray& file = kOldEntry + kMarkerLine + kMedicine) {
    platform.clock = QDateTime(QDate(2024, 6, 15), QTime(10, 0, 0));
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, file);
  }
  QByteArray fileBytes() const { return readBytes(state.CurrentDataFile); }

  template <typename T = QWidget>
  T* get(const QString& name) {
    T* widget = window.findChild<T*>(name);
    if (!widget) qFatal("no control %s", qPrintable(name));
    return widget;
  }
  QString text(const QString& name) { return get<QComboBox>(name)->currentText(); }
  void setText(const QString& name, const QString& text) {
    get<QComboBox>(name)->setEditText(text);
  }
  void click(const QString& name) { get<QPushButton>(name)->click(); }
  bool showActive() {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
  }
  // Which of the named buttons are enabled, as a string of 1 and 0.
  QString enabled(const QStringList& names) {
    QString flags;
    for (const QString& name : names) flags += get(name)->isEnabled() ? u'1' : u'0';
    return flags;
  }
};

const QStringList kButtons{"Command1", "Command2", "Command3", "Command4",
                           "Command6", "Command7", "Command8", "Command9"};
const QString kHeading = QStringLiteral("2025/01/05(日)の予定");
const QStringList kAddRefresh{"ShowDateHeading", "ShowDayHoliday", "LoadDaySchedules",
                              "RefreshMonthView", "finishRefresh"};
const QStringList kDayRefresh{"ShowDayHoliday", "LoadDaySchedules", "RefreshMonthView",
                              "finishRefresh"};

}  // namespace

Q_DECLARE_METATYPE(TypedKeys)

class EditorWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  void window() {
    Session s;
    QCOMPARE(s.window.objectName(), "Form5");
    QCOMPARE(s.window.windowTitle(), "新しいデータ？ 変更？ 削除？");
    QCOMPARE(s.window.size(), QSize(721, 264));
    QCOMPARE(s.window.minimumSize(), s.window.maximumSize());
    QVERIFY(!(s.window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(s.window.windowFlags() & Qt::WindowMinimizeButtonHint));
    // 770 and 4200 twips right of and below the main window's corner.
    QCOMPARE(s.window.pos(), QPoint(151, 330));
    // The state of a fresh load.
    QVERIFY(s.get<QRadioButton>("Option1(0)")->isChecked());
    QCOMPARE(s.text("Combo1"), "");
    QCOMPARE(s.text("Combo7"), "");
    QCOMPARE(s.enabled(kButtons), "11111111");
    QVERIFY(!s.get("Combo7")->isVisibleTo(&s.window));
    QVERIFY(!s.get("Label10")->isVisibleTo(&s.window));
    QVERIFY(!s.get("Image1")->isVisibleTo(&s.window));
  }

  void controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    // Pixels at 96 dpi: twips / 15.
    QTest::newRow("Label1") << "Label1"
                            << "予定の編集" << QRect(0, 0, 360, 199);
    QTest::newRow("Label2") << "Label2"
                            << "タイマー編集" << QRect(361, 0, 359, 199);
    QTest::newRow("Combo1") << "Combo1"
                            << "" << QRect(45, 53, 65, 24);
    QTest::newRow("Combo2") << "Combo2"
                            << "" << QRect(136, 53, 57, 24);
    QTest::newRow("Combo3") << "Combo3"
                            << "" << QRect(219, 53, 57, 24);
    QTest::newRow("Text1") << "Text1"
                           << "" << QRect(45, 80, 305, 28);
    QTest::newRow("Text2") << "Text2"
                           << "" << QRect(45, 112, 308, 57);
    QTest::newRow("Check1") << "Check1"
                            << "終了" << QRect(48, 176, 65, 20);
    QTest::newRow("Check2") << "Check2"
                            << "次回から削除します" << QRect(120, 176, 169, 20);
    QTest::newRow("Command1") << "Command1"
                              << "追加" << QRect(0, 200, 89, 33);
    QTest::newRow("Command2") << "Command2"
                              << "削除" << QRect(88, 200, 89, 33);
    QTest::newRow("Command3") << "Command3"
                              << "更新" << QRect(176, 200, 97, 33);
    QTest::newRow("Command4") << "Command4"
                              << "項目の初期化" << QRect(272, 200, 89, 33);
    QTest::newRow("Text3") << "Text3"
                           << "" << QRect(403, 53, 313, 24);
    QTest::newRow("Combo4") << "Combo4"
                            << "" << QRect(488, 80, 57, 24);
    QTest::newRow("Combo5") << "Combo5"
                            << "" << QRect(571, 80, 49, 24);
    QTest::newRow("Combo6") << "Combo6"
                            << "" << QRect(640, 80, 49, 24);
    QTest::newRow("Combo7") << "Combo7"
                            << "" << QRect(488, 80, 57, 24);
    QTest::newRow("Combo8") << "Combo8"
                            << "" << QRect(488, 104, 57, 24);
    QTest::newRow("Combo9") << "Combo9"
                            << "" << QRect(571, 104, 49, 24);
    QTest::newRow("Command10") << "Command10"
                               << "画像の選択" << QRect(488, 152, 81, 25);
    QTest::newRow("Image1") << "Image1"
                            << "" << QRect(576, 131, 97, 65);
    QTest::newRow("Command6") << "Command6"
                              << "追加" << QRect(360, 200, 89, 33);
    QTest::newRow("Command7") << "Command7"
                              << "削除" << QRect(448, 200, 89, 33);
    QTest::newRow("Command8") << "Command8"
                              << "更新" << QRect(536, 200, 97, 33);
    QTest::newRow("Command9") << "Command9"
                              << "項目の初期化" << QRect(632, 200, 89, 33);
    QTest::newRow("Command5")
        << "Command5"
        << "編　　　　　　集　　　　　　画　　　　　　面　　　　　　を　　　　"
           "　　閉　　　　　　じ　　　　　　る"
        << QRect(0, 232, 721, 33);
    // Labels are placed by their corner only.
    QTest::newRow("Label3") << "Label3"
                            << "日付" << QRect(7, 56, -1, -1);
    QTest::newRow("Label4") << "Label4"
                            << "年" << QRect(112, 56, -1, -1);
    QTest::newRow("Label5") << "Label5"
                            << "月" << QRect(195, 56, -1, -1);
    QTest::newRow("Label11") << "Label11"
                             << "日" << QRect(277, 56, -1, -1);
    QTest::newRow("Label12") << "Label12"
                             << "件名" << QRect(7, 88, -1, -1);
    QTest::newRow("Label13") << "Label13"
                             << "内容" << QRect(7, 120, -1, -1);
    QTest::newRow("Label6") << "Label6"
                            << "件名" << QRect(368, 56, -1, -1);
    QTest::newRow("Label7") << "Label7"
                            << "年" << QRect(549, 83, -1, -1);
    QTest::newRow("Label8") << "Label8"
                            << "月" << QRect(624, 83, -1, -1);
    QTest::newRow("Label9") << "Label9"
                            << "日" << QRect(691, 83, -1, -1);
    QTest::newRow("Label10") << "Label10"
                             << "曜日" << QRect(549, 83, -1, -1);
    QTest::newRow("Label14") << "Label14"
                             << "時" << QRect(549, 107, -1, -1);
    QTest::newRow("Label15") << "Label15"
                             << "分" << QRect(624, 107, -1, -1);
    QTest::newRow("Frame1") << "Frame1"
                            << "タイプ" << QRect(376, 80, 105, -1);
    QTest::newRow("Option1(0)") << "Option1(0)"
                                << "一回だけ" << QRect(8, -1, -1, -1);
    QTest::newRow("Option1(1)") << "Option1(1)"
                                << "毎週" << QRect(8, -1, -1, -1);
    QTest::newRow("Option1(2)") << "Option1(2)"
                                << "毎日" << QRect(8, -1, -1, -1);
  }
  void controls() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    Session s;
    QWidget* control = s.get(name);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) shown = button->text();
    if (auto* frame = qobject_cast<QGroupBox*>(control)) shown = frame->title();
    QCOMPARE(shown, caption);
    const QRect actual = control->geometry();
    QCOMPARE(actual.left(), geometry.left());
    if (geometry.top() >= 0) QCOMPARE(actual.top(), geometry.top());
    if (geometry.width() >= 0) QCOMPARE(actual.width(), geometry.width());
    if (geometry.height() >= 0) QCOMPARE(actual.height(), geometry.height());
  }

  void kindButtonsDoNotOverlap() {
    Session s;
    auto* frame = s.get<QGroupBox>("Frame1");
    QVERIFY(frame->height() >= 72);
    int previousBottom = QFontMetrics(frame->font()).height();
    for (int i = 0; i < 3; ++i) {
      const QRect option = s.get(QStringLiteral("Option1(%1)").arg(i))->geometry();
      QVERIFY2(option.top() >= previousBottom, qPrintable(QString::number(i)));
      previousBottom = option.bottom() + 1;
    }
    QVERIFY(previousBottom <= frame->height());
  }

  void looks() {
    Session s;
    QCOMPARE(s.get("Label1")->palette().color(QPalette::Window), QColor(192, 255, 192));
    QCOMPARE(s.get("Label2")->palette().color(QPalette::Window), QColor(192, 192, 255));
    QWidget* check = s.get("Check1");
    QCOMPARE(check->palette().color(check->backgroundRole()), QColor(192, 255, 192));
    QVERIFY(check->autoFillBackground());
    QWidget* option = s.get("Option1(1)");
    QCOMPARE(option->palette().color(option->backgroundRole()), QColor(192, 192, 255));
    QCOMPARE(s.get("Frame1")->palette().color(QPalette::Window), QColor(192, 192, 255));
    QCOMPARE(s.get("Label1")->font().pointSizeF(), 36.0);
    QVERIFY(s.get("Label1")->font().bold());
    QVERIFY(s.get("Label3")->font().bold());
    QVERIFY(s.get("Check2")->font().bold());
    QVERIFY(!s.get("Text1")->font().bold());
    // Every caption shows whole: a button's font gives way where the text would not fit.
    for (QPushButton* button : s.window.findChildren<QPushButton*>()) {
      QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(button->text()) < button->width(),
               qPrintable(button->objectName()));
    }
    QVERIFY(s.get("Command10")->font().pointSizeF() <= 9.75);
  }

  void itemLists() {
    Session s;
    auto items = [&s](const QString& name) {
      QStringList list;
      auto* box = s.get<QComboBox>(name);
      for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
      return list;
    };
    QCOMPARE(items("Combo7"), QStringList({"月", "火", "水", "木", "金", "土", "日"}));
    for (const char* name : {"Combo2", "Combo5"}) {
      QCOMPARE(items(name).size(), 12);
      QCOMPARE(items(name).first(), "01");
      QCOMPARE(items(name).last(), "12");
    }
    for (const char* name : {"Combo3", "Combo6"}) {
      QCOMPARE(items(name).size(), 31);
      QCOMPARE(items(name).last(), "31");
    }
    QCOMPARE(items("Combo8").size(), 24);
    QCOMPARE(items("Combo8").first(), "00");
    QCOMPARE(items("Combo9").size(), 60);
    QCOMPARE(items("Combo9").last(), "59");
    QVERIFY(!s.get<QComboBox>("Combo7")->isEditable());
    QVERIFY(s.get<QComboBox>("Combo1")->isEditable());
  }

  void tabOrder_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("timerFields");
    // The timer half shows the fields of its kind; Tab passes over the hidden ones.
    QTest::newRow("once") << 0 << QStringList{"Combo4", "Combo5", "Combo6", "Combo8", "Combo9"};
    QTest::newRow("weekly") << 1 << QStringList{"Combo7", "Combo8", "Combo9"};
    QTest::newRow("daily") << 2 << QStringList{"Combo8", "Combo9"};
  }

  void tabOrder() {
    QFETCH(int, kind);
    QFETCH(QStringList, timerFields);
    Session s;
    s.window.prepareNewEntry(kHeading);
    s.get<QRadioButton>(QStringLiteral("Option1(%1)").arg(kind))->setChecked(true);
    QVERIFY(s.showActive());
    // A new entry: 削除 and 更新 of both halves are disabled and no stop of the Tab key.
    QStringList expected{"Combo1", "Combo2", "Combo3",   "Text1",    "Text2",
                         "Check1", "Check2", "Command1", "Command4", "Text3"};
    expected << QStringLiteral("Option1(%1)").arg(kind) << timerFields;
    expected << QStringList{"Command10", "Command6", "Command9", "Command5", "Combo1"};
    s.get("Combo1")->setFocus();
    QStringList order{"Combo1"};
    while (order.size() < expected.size()) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, expected);
    // Shift+Tab walks back the same way.
    QStringList back{"Combo1"};
    while (back.size() < expected.size()) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
      back << QApplication::focusWidget()->objectName();
    }
    std::reverse(back.begin(), back.end());
    QCOMPARE(back, expected);
  }

  void accessibleNames() {
    Session s;
    QStringList names;
    for (QWidget* widget : s.window.findChildren<QWidget*>()) {
      const bool input = qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                         qobject_cast<QPlainTextEdit*>(widget) ||
                         qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
      if (!input || widget->objectName().isEmpty()) continue;
      QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
      QCOMPARE(widget->accessibleDescription(), widget->toolTip());
      QVERIFY2(!widget->toolTip().isEmpty(), qPrintable(widget->objectName()));
      names << widget->accessibleName();
    }
    QCOMPARE(names.size(), 17);
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
    // Each control by what it is and to which half it belongs.
    const QList<std::pair<const char*, const char*>> expected{
        {"Combo1", "予定の年"},          {"Combo8", "タイマーの時"},
        {"Text3", "タイマーの件名"},     {"Command1", "予定を追加"},
        {"Command6", "タイマーを追加"},  {"Command9", "タイマーの項目を初期化"},
        {"Command5", "編集画面を閉じる"}};
    for (const auto& [control, name] : expected) {
      QCOMPARE(s.get(control)->accessibleName(), QString::fromUtf8(name));
    }
    // The captions stay as they are drawn.
    QCOMPARE(s.get<QPushButton>("Command1")->text(), "追加");
    QCOMPARE(s.get<QPushButton>("Command6")->text(), "追加");
  }

  void kindSwitch_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("dateShown");
    QTest::addColumn<bool>("weekdayShown");
    QTest::newRow("一回だけ") << 0 << true << false;
    QTest::newRow("毎週") << 1 << false << true;
    QTest::newRow("毎日") << 2 << false << false;
  }
  void kindSwitch() {
    QFETCH(int, kind);
    QFETCH(bool, dateShown);
    QFETCH(bool, weekdayShown);
    Session s;
    s.get<QRadioButton>("Option1(1)")->click();  // start away from the design-time kind
    s.get<QRadioButton>(QStringLiteral("Option1(%1)").arg(kind))->click();
    for (const char* name : {"Combo4", "Combo5", "Combo6", "Label7", "Label8", "Label9"}) {
      QCOMPARE(s.get(name)->isVisibleTo(&s.window), dateShown);
    }
    QCOMPARE(s.get("Combo7")->isVisibleTo(&s.window), weekdayShown);
    QCOMPARE(s.get("Label10")->isVisibleTo(&s.window), weekdayShown);
    QVERIFY(s.get("Combo8")->isVisibleTo(&s.window));
    QVERIFY(s.get("Combo9")->isVisibleTo(&s.window));
  }

  void newEntryTakesTheHeadingDate() {
    Session s;
    s.window.openScheduleRow(kHeading, {"x", "y", "終了", "削除"});
    s.window.prepareNewEntry(kHeading);
    QCOMPARE(s.text("Combo1"), "2025");
    QCOMPARE(s.text("Combo2"), "01");
    QCOMPARE(s.text("Combo3"), "05");
    QVERIFY(s.get("Combo1")->isEnabled());
    QVERIFY(s.get("Combo3")->isEnabled());
    QCOMPARE(s.get<QLineEdit>("Text1")->text(), "");
    QCOMPARE(s.get<QPlainTextEdit>("Text2")->toPlainText(), "");
    QVERIFY(!s.get<QCheckBox>("Check1")->isChecked());
    QVERIFY(!s.get<QCheckBox>("Check2")->isChecked());
    QCOMPARE(s.enabled(kButtons), "10011001");
    // The timer half starts at now.
    QCOMPARE(s.text("Combo4"), "2024");
    QCOMPARE(s.text("Combo5"), "06");
    QCOMPARE(s.text("Combo6"), "15");
    QCOMPARE(s.text("Combo7"), "土");
    QCOMPARE(s.text("Combo8"), "10");
    QCOMPARE(s.text("Combo9"), "00");
    QVERIFY(!s.get("Image1")->isVisibleTo(&s.window));
    QVERIFY(s.get("Line1")->isVisibleTo(&s.window));
    QVERIFY(s.get("Line4")->isVisibleTo(&s.window));
  }

  void yearListsHoldEachYearOnce_data() {
    QTest::addColumn<int>("thisYear");
    QTest::addColumn<QStringList>("years");
    QTest::newRow("ten years on") << 2024
                                  << QStringList{"2024", "2025", "2026", "2027", "2028", "2029",
                                                 "2030", "2031", "2032", "2033", "2034"};
    QTest::newRow("capped at 9999") << 9996 << QStringList{"9996", "9997", "9998", "9999"};
  }
  void yearListsHoldEachYearOnce() {
    QFETCH(int, thisYear);
    QFETCH(QStringList, years);
    Session s;
    s.platform.clock = QDateTime(QDate(thisYear, 6, 15), QTime(10, 0));
    s.window.prepareNewEntry(kHeading);
    s.window.openScheduleRow(kHeading, {"x", "", "まだ", "残る"});
    s.window.openTimerRow({"t", "毎日", "", "06:00", ""});
    s.click("Command9");
    s.window.FillEditorCombos();
    for (const char* name : {"Combo1", "Combo4"}) {
      auto* box = s.get<QComboBox>(name);
      QStringList items;
      for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
      QCOMPARE(items, years);
    }
    // Rebuilding the list keeps what the boxes show.
    QCOMPARE(s.text("Combo1"), QString::number(thisYear));
    QCOMPARE(s.text("Combo4"), QString::number(thisYear));
  }

  void addScheduleThroughTheWindow() {
    Session s;
    QVERIFY(s.showActive());
    s.window.prepareNewEntry(kHeading);
    s.get<QLineEdit>("Text1")->setText("会議");
    s.get<QPlainTextEdit>("Text2")->setPlainText("資料");
    s.click("Command1");
    QCOMPARE(s.fileBytes(), kMeeting + kOldEntry + kMarkerLine + kMedicine);
    QCOMPARE(s.views.calls, kAddRefresh);
    QCOMPARE(s.state.SelYear, 2025);
    QCOMPARE(s.state.SelMonth, 1);
    QVERIFY(s.platform.messages.isEmpty());
    QVERIFY(!s.window.isVisible());
    QCOMPARE(s.window.result(), int(QDialog::Accepted));
  }

  void refusedAddKeepsTheInput() {
    Session s;
    QVERIFY(s.showActive());
    s.state.SelYear = 2001;
    s.window.prepareNewEntry(kHeading);
    s.setText("Combo3", "32");
    s.get<QPlainTextEdit>("Text2")->setPlainText("資料");
    s.click("Command1");
    QCOMPARE(s.platform.messages.size(), 1);
    const FakePlatform::Message& message = s.platform.messages.first();
    QCOMPARE(message.text, "日付けおかしいです。\r\n題名を入力して下さい。\r\n");
    QCOMPARE(message.title, "入力がおかしいです。");
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QVERIFY(s.window.isVisible());
    QCOMPARE(s.text("Combo3"), "32");
    QCOMPARE(s.get<QPlainTextEdit>("Text2")->toPlainText(), "資料");
    QCOMPARE(s.state.InputErrors[0], "日付けおかしいです。");
    QCOMPARE(s.state.InputErrors[1], "題名を入力して下さい。");
    QCOMPARE(s.state.SelYear, 2001);
    QCOMPARE(s.fileBytes(), kOldEntry + kMarkerLine + kMedicine);
    QVERIFY(s.views.calls.isEmpty());
  }

  void unwritableFileKeepsTheEditorOpen() {
    Session s;
    QVERIFY(s.showActive());
    s.state.CurrentDataFile = s.dir.filePath("missing/data.dat");
    s.window.prepareNewEntry(kHeading);
    s.get<QLineEdit>("Text1")->setText("会議");
    s.click("Command1");
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages.first().title, "Yotenna");
    QVERIFY(s.window.isVisible());
    QCOMPARE(s.get<QLineEdit>("Text1")->text(), "会議");
    QVERIFY(s.views.calls.isEmpty());
  }

  void openScheduleRow_data() {
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<bool>("done");
    QTest::addColumn<bool>("deleteNext");
    QTest::newRow("finished, stays")
        << QStringList{"会議", "資料", "終了", "残る"} << true << false;
    QTest::newRow("holiday row") << QStringList{"元日", "", "まだ", "残る"} << false << false;
    QTest::newRow("to be deleted") << QStringList{"会議", "資料", "まだ", "削除"} << false << true;
  }
  void openScheduleRow() {
    QFETCH(QStringList, columns);
    QFETCH(bool, done);
    QFETCH(bool, deleteNext);
    Session s;
    s.window.openScheduleRow(kHeading, columns);
    QCOMPARE(s.text("Combo1"), "2025");
    QCOMPARE(s.text("Combo2"), "01");
    QCOMPARE(s.text("Combo3"), "05");
    QCOMPARE(s.get<QLineEdit>("Text1")->text(), columns[0]);
    QCOMPARE(s.get<QPlainTextEdit>("Text2")->toPlainText(), columns[1]);
    QCOMPARE(s.get<QCheckBox>("Check1")->isChecked(), done);
    QCOMPARE(s.get<QCheckBox>("Check2")->isChecked(), deleteNext);
    QCOMPARE(s.enabled(kButtons), "01111001");
    QVERIFY(!s.get("Combo1")->isEnabled());
    QVERIFY(!s.get("Combo3")->isEnabled());
    QVERIFY(!s.get("Image1")->isVisibleTo(&s.window));
    const auto& snapshot = s.state.EditorSnapshot;
    QCOMPARE(QStringList({snapshot[1], snapshot[2], snapshot[3], snapshot[10], snapshot[11]}),
             QStringList({"2025", "01", "05", columns[0], columns[1]}));
    QCOMPARE(snapshot[13], done ? "1" : "0");
    QCOMPARE(snapshot[14], deleteNext ? "1" : "0");
  }

  void changeOpenedEntry_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("update") << "Command3"
                            << entryLine("2025/01/05", kKaigi, "new", "1,0") + kOldEntry +
                                   kMarkerLine + kMedicine;
    QTest::newRow("delete") << "Command2" << kOldEntry + kMarkerLine + kMedicine;
  }
  void changeOpenedEntry() {
    QFETCH(QString, button);
    QFETCH(QByteArray, expected);
    Session s(kMeeting + kOldEntry + kMarkerLine + kMedicine);
    QVERIFY(s.showActive());
    s.window.openScheduleRow(kHeading, {"会議", "資料", "まだ", "残る"});
    if (button == "Command3") {
      s.get<QPlainTextEdit>("Text2")->setPlainText("new");
      s.get<QCheckBox>("Check1")->setChecked(true);
    }
    s.click(button);
    QCOMPARE(s.fileBytes(), expected);
    QCOMPARE(s.views.calls, kDayRefresh);
    QVERIFY(!s.window.isVisible());
  }

  void openTimerRow_data() {
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("fields");  // Combo4 to Combo9
    QTest::newRow("once") << QStringList{"薬", "一回", "2026/12/07(月)", "21:05", ""} << 0
                          << QStringList{"2026", "12", "07", "土", "21", "05"};
    QTest::newRow("weekly") << QStringList{"ごみ", "毎週", "月曜日", "07:30", ""} << 1
                            << QStringList{"2024", "6", "15", "月", "07", "30"};
    QTest::newRow("daily") << QStringList{"起床", "毎日", "", "06:00", ""} << 2
                           << QStringList{"2024", "6", "15", "土", "06", "00"};
    QTest::newRow("unknown kind") << QStringList{"?", "変", "", "23:59", ""} << -1
                                  << QStringList{"2024", "6", "15", "土", "23", "59"};
  }
  void openTimerRow() {
    QFETCH(QStringList, columns);
    QFETCH(int, kind);
    QFETCH(QStringList, fields);
    Session s;
    QVERIFY(s.window.openTimerRow(columns));
    QStringList shown;
    for (const char* name : {"Combo4", "Combo5", "Combo6", "Combo7", "Combo8", "Combo9"}) {
      shown << s.text(name);
    }
    QCOMPARE(shown, fields);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(s.get<QRadioButton>(QStringLiteral("Option1(%1)").arg(i))->isChecked(), i == kind);
    }
    // No kind selected shows the once-only fields.
    QCOMPARE(s.get("Combo4")->isVisibleTo(&s.window), kind <= 0);
    QCOMPARE(s.get("Combo7")->isVisibleTo(&s.window), kind == 1);
    QCOMPARE(s.get<QLineEdit>("Text3")->text(), columns[0]);
    // Not to be changed, but read by a screen reader like any field.
    QVERIFY(s.get<QLineEdit>("Text3")->isReadOnly());
    QVERIFY(s.get("Text3")->isEnabled());
    QCOMPARE(s.enabled(kButtons), "11110111");
    QCOMPARE(s.text("Combo1"), "2024");
    QCOMPARE(s.text("Combo2"), "6");
    // An empty picture path is an empty picture, shown in place of the frame.
    QVERIFY(s.get("Image1")->isVisibleTo(&s.window));
    QVERIFY(!s.get("Line1")->isVisibleTo(&s.window));
    QVERIFY(s.platform.messages.isEmpty());
    const auto& snapshot = s.state.EditorSnapshot;
    QCOMPARE(QStringList({snapshot[4], snapshot[5], snapshot[6], snapshot[7], snapshot[8],
                          snapshot[9], snapshot[12]}),
             fields + QStringList{columns[0]});
    if (kind >= 0) QCOMPARE(snapshot[15], QString::number(kind));
  }

  void timerRowShowsItsPicture() {
    Session s;
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::red);
    s.platform.pictures["/pics/a.bmp"] = picture;
    QVERIFY(s.window.openTimerRow({"薬", "毎日", "", "21:05", "/pics/a.bmp"}));
    QCOMPARE(s.state.TimerImageFile, "/pics/a.bmp");
    auto* image = s.get<QLabel>("Image1");
    QVERIFY(image->isVisibleTo(&s.window));
    QCOMPARE(image->pixmap().size(), QSize(4, 3));
    QVERIFY(image->hasScaledContents());
  }

  void timerWithMissingPictureCanStillBeDeleted() {
    Session s(kMarkerLine + kMedicine + kWakeUp);
    QVERIFY(s.showActive());
    s.state.TimerImageFile = "/pics/previous.bmp";
    QVERIFY(s.window.openTimerRow({"起床", "毎日", "", "06:00", "/pics/gone.bmp"}));
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages.first().text, "画像ファイル「/pics/gone.bmp」が見つかりません");
    QCOMPARE(s.platform.messages.first().title, "Yotenna");
    QCOMPARE(s.platform.messages.first().buttons, MessageButtons::Ok);
    // The path stays: the picture may only be away for now (a stick not plugged in).
    QCOMPARE(s.state.TimerImageFile, "/pics/gone.bmp");
    QVERIFY(!s.get("Image1")->isVisibleTo(&s.window));
    QVERIFY(s.get("Line2")->isVisibleTo(&s.window));
    QCOMPARE(s.enabled({"Command6", "Command7", "Command8"}), "011");
    s.click("Command7");
    QCOMPARE(s.fileBytes(), kMarkerLine + kMedicine);
    QCOMPARE(s.views.calls, QStringList({"LoadTimerList", "finishRefresh"}));
    QVERIFY(!s.window.isVisible());
  }

  void timerWithMissingPictureKeepsItOnUpdate() {
    Session s(kMarkerLine + kMedicine + kWakeUp);
    QVERIFY(s.showActive());
    QVERIFY(s.window.openTimerRow({"起床", "毎日", "", "06:00", "/pics/gone.bmp"}));
    s.setText("Combo9", "15");
    s.click("Command8");
    QCOMPARE(s.fileBytes(),
             kMarkerLine + kMedicine +
                 timerLine({kKishou, "2", "", "", "", "06", "15", "/pics/gone.bmp"}));
    QVERIFY(!s.window.isVisible());
  }

  void entryThatIsNoLongerThereIsSaidSo_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("delete") << "Command2";
    QTest::newRow("update") << "Command3";
  }
  void entryThatIsNoLongerThereIsSaidSo() {
    QFETCH(QString, button);
    Session s(kOldEntry + kMarkerLine + kMedicine);
    QVERIFY(s.showActive());
    s.window.openScheduleRow(kHeading, {"会議", "資料", "まだ", "残る"});
    s.click(button);
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages.first().text, "該当する予定がありません");
    QCOMPARE(s.platform.messages.first().icon, MessageIcon::Warning);
    QVERIFY(s.window.isVisible());
    QVERIFY(s.views.calls.isEmpty());
    QCOMPARE(s.fileBytes(), kOldEntry + kMarkerLine + kMedicine);
  }

  void addTimerThroughTheWindow() {
    Session s;
    QVERIFY(s.showActive());
    s.window.prepareNewEntry(kHeading);
    s.get<QLineEdit>("Text3")->setText("起床");
    s.get<QRadioButton>("Option1(2)")->click();
    s.setText("Combo8", "6");
    s.setText("Combo9", "0");
    s.click("Command6");
    QCOMPARE(s.fileBytes(), kOldEntry + kMarkerLine + kMedicine +
                                timerLine({kKishou, "2", "", "", "", "06", "00", ""}));
    QCOMPARE(s.views.calls, QStringList({"LoadTimerList", "finishRefresh"}));
    QVERIFY(!s.window.isVisible());
  }

  void updateOpenedTimer() {
    Session s;
    QVERIFY(s.showActive());
    s.window.openTimerRow({"薬", "一回", "2026/12/07(月)", "21:05", ""});
    s.setText("Combo9", "45");
    s.state.TimerImageFile = "/pics/new.bmp";  // as a picture choice leaves it
    s.click("Command8");
    QCOMPARE(s.fileBytes(),
             kOldEntry + kMarkerLine +
                 timerLine({kKusuri, "0", "2026", "12", "07", "21", "45", "/pics/new.bmp"}));
    QCOMPARE(s.views.calls, QStringList({"ShowDayHoliday", "LoadDaySchedules", "RefreshMonthView",
                                         "LoadTimerList", "finishRefresh"}));
    QCOMPARE(s.state.TimerImageFile, "");
    QVERIFY(!s.window.isVisible());
  }

  void closeButtonChangesNothing() {
    Session s;
    QVERIFY(s.showActive());
    s.window.prepareNewEntry(kHeading);
    s.get<QLineEdit>("Text1")->setText("会議");
    s.click("Command5");
    QVERIFY(!s.window.isVisible());
    QCOMPARE(s.fileBytes(), kOldEntry + kMarkerLine + kMedicine);
    QVERIFY(s.views.calls.isEmpty());
    QVERIFY(s.platform.messages.isEmpty());
  }

  void resetButtons() {
    Session s;
    s.state.TimerImageFile = "/pics/kept.bmp";
    s.window.openScheduleRow(kHeading, {"会議", "資料", "終了", "削除"});
    s.window.openTimerRow({"薬", "一回", "2026/12/07(月)", "21:05", ""});
    s.state.TimerImageFile = "/pics/kept.bmp";

    s.click("Command4");
    QCOMPARE(s.get<QLineEdit>("Text1")->text(), "");
    QCOMPARE(s.get<QPlainTextEdit>("Text2")->toPlainText(), "");
    QVERIFY(!s.get<QCheckBox>("Check1")->isChecked());
    QVERIFY(!s.get<QCheckBox>("Check2")->isChecked());
    QCOMPARE(QStringList({s.text("Combo1"), s.text("Combo2"), s.text("Combo3")}),
             QStringList({"2024", "06", "15"}));
    QVERIFY(s.get("Combo2")->isEnabled());
    // The timer half is untouched by the schedule reset.
    QCOMPARE(s.enabled(kButtons), "10010111");
    QCOMPARE(s.text("Combo9"), "05");

    s.click("Command9");
    QCOMPARE(s.get<QLineEdit>("Text3")->text(), "");
    QVERIFY(!s.get<QLineEdit>("Text3")->isReadOnly());
    QCOMPARE(s.enabled(kButtons), "10011001");
    QCOMPARE(QStringList({s.text("Combo4"), s.text("Combo5"), s.text("Combo6"), s.text("Combo8"),
                          s.text("Combo9")}),
             QStringList({"2024", "06", "15", "10", "00"}));
    QVERIFY(!s.get("Image1")->isVisibleTo(&s.window));
    QVERIFY(s.get("Line3")->isVisibleTo(&s.window));
    QCOMPARE(s.state.TimerImageFile, "/pics/kept.bmp");
  }

  void pictureChoice() {
    Session s;
    QImage first(8, 8, QImage::Format_RGB32);
    first.fill(Qt::blue);
    s.platform.pictures["/pics/first.gif"] = first;
    s.platform.openResults = {QString("/pics/first.gif")};
    s.click("Command10");
    QCOMPARE(s.platform.openRequests.size(), 1);
    QCOMPARE(s.platform.openRequests.first().filters,
             QStringList({"bmp 形式(*.bmp)", "JPEG 形式(*.jpg)", "GIF 形式(*.gif)", "All(*.*)"}));
    QCOMPARE(s.state.TimerImageFile, "/pics/first.gif");
    auto* image = s.get<QLabel>("Image1");
    QVERIFY(image->isVisibleTo(&s.window));
    QVERIFY(!s.get("Line1")->isVisibleTo(&s.window));

    // Cancelled: nothing changes, nothing is said.
    s.click("Command10");
    QCOMPARE(s.state.TimerImageFile, "/pics/first.gif");
    QVERIFY(s.platform.messages.isEmpty());
    QCOMPARE(image->pixmap().size(), QSize(8, 8));

    // Unreadable: the error; the picture in view and its path both stay.
    s.platform.openResults = {QString("/pics/notes.txt")};
    s.click("Command10");
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages.first().text, "画像ファイル「/pics/notes.txt」が見つかりません");
    QCOMPARE(s.platform.messages.first().title, "Yotenna");
    QCOMPARE(s.state.TimerImageFile, "/pics/first.gif");
    QVERIFY(image->isVisibleTo(&s.window));
    QCOMPARE(image->pixmap().size(), QSize(8, 8));
  }

  void typedKeys_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    auto row = [](const char* name, const QString& field, const QString& before, Qt::Key key,
                  const QString& after) {
      QTest::newRow(name) << field << before << int(key) << after;
    };
    row("digit", "Combo1", "20", Qt::Key_2, "2");
    row("digit in a timer field", "Combo5", "1", Qt::Key_0, "0");
    row("letter", "Combo1", "20", Qt::Key_A, "20");
    row("space", "Combo8", "1", Qt::Key_Space, "1");
    row("fifth digit", "Combo1", "2025", Qt::Key_7, "2025");
    row("fifth timer digit", "Combo4", "2025", Qt::Key_7, "2025");
    row("third digit", "Combo2", "12", Qt::Key_3, "12");
    row("third minute digit", "Combo9", "59", Qt::Key_0, "59");
    row("backspace when full", "Combo1", "2025", Qt::Key_Backspace, "");
    row("backspace", "Combo6", "1", Qt::Key_Backspace, "");
  }
  void typedKeys() {
    QFETCH(QString, field);
    QFETCH(QString, before);
    QFETCH(int, key);
    QFETCH(QString, after);
    Session s;
    QVERIFY(s.showActive());
    auto* box = s.get<QComboBox>(field);
    box->setFocus();
    box->setEditText(before);
    // With the whole text selected a full field still refuses a digit (Backspace then
    // removes the selection); a field with room takes the digit in place of the selection.
    box->lineEdit()->selectAll();
    QTest::keyClick(box, Qt::Key(key));
    QCOMPARE(box->currentText(), after);
  }

  void weekdayListTakesNoLetters() {
    Session s;
    s.get<QRadioButton>("Option1(1)")->click();
    QVERIFY(s.showActive());
    auto* box = s.get<QComboBox>("Combo7");
    box->setCurrentIndex(0);
    box->setFocus();
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("火"));
    QApplication::sendEvent(box, &press);
    QCOMPARE(box->currentText(), "月");
  }

  void keyRules_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("limit");
    QTest::addColumn<TypedKeys>("keys");
    QTest::addColumn<int>("result");
    QTest::newRow("weekday: Backspace") << 8 << 1 << 0 << TypedKeys::DigitsNoBackspace << 0;
    QTest::newRow("weekday: digit")
        << int('3') << 1 << 0 << TypedKeys::DigitsNoBackspace << int('3');
    QTest::newRow("weekday: kanji") << 0x706B << 1 << 0 << TypedKeys::DigitsNoBackspace << 0;
    QTest::newRow("year: Backspace when full") << 8 << 4 << 4 << TypedKeys::Digits << 8;
    QTest::newRow("year: digit when full") << int('1') << 4 << 4 << TypedKeys::Digits << 0;
    QTest::newRow("year: digit") << int('1') << 3 << 4 << TypedKeys::Digits << int('1');
    QTest::newRow("year: slash") << int('/') << 0 << 4 << TypedKeys::Digits << 0;
    QTest::newRow("subject: kanji") << 0x4F1A << 30 << 0 << TypedKeys::Any << 0x4F1A;
    QTest::newRow("subject: Enter") << 13 << 0 << 0 << TypedKeys::Any << 0;
  }
  void keyRules() {
    QFETCH(int, code);
    QFETCH(int, length);
    QFETCH(int, limit);
    QFETCH(TypedKeys, keys);
    QFETCH(int, result);
    QCOMPARE(filterTypedKey(code, length, limit, keys), result);
  }

  void enterMovesTheFocus_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("to");
    QTest::newRow("year") << "Combo1" << 0 << "Combo2";
    QTest::newRow("day") << "Combo3" << 0 << "Text1";
    QTest::newRow("subject") << "Text1" << 0 << "Text2";
    QTest::newRow("content") << "Text2" << 0 << "Command1";
    QTest::newRow("title, once") << "Text3" << 0 << "Combo4";
    QTest::newRow("title, weekly") << "Text3" << 1 << "Combo7";
    QTest::newRow("title, daily") << "Text3" << 2 << "Combo8";
    QTest::newRow("timer day") << "Combo6" << 0 << "Combo8";
    QTest::newRow("weekday") << "Combo7" << 1 << "Combo8";
    QTest::newRow("minute") << "Combo9" << 0 << "Command6";
  }
  void enterMovesTheFocus() {
    QFETCH(QString, from);
    QFETCH(int, kind);
    QFETCH(QString, to);
    Session s;
    s.window.prepareNewEntry(kHeading);
    s.get<QRadioButton>(QStringLiteral("Option1(%1)").arg(kind))->click();
    QVERIFY(s.showActive());
    QWidget* field = s.get(from);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget()->objectName(), to);
    if (from == "Text2") QCOMPARE(s.get<QPlainTextEdit>("Text2")->toPlainText(), "");
    // Enter added nothing and clicked nothing.
    QVERIFY(s.window.isVisible());
    QCOMPARE(s.fileBytes(), kOldEntry + kMarkerLine + kMedicine);
  }

  void enterStaysWhenTheNextFieldIsDisabled() {
    Session s;
    s.window.openScheduleRow(kHeading, {"会議", "資料", "まだ", "残る"});
    QVERIFY(s.showActive());
    auto* content = s.get<QPlainTextEdit>("Text2");
    content->setFocus();
    QTest::keyClick(content, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), content);
    QCOMPARE(content->toPlainText(), "資料");
  }

  void textLimits() {
    Session s;
    QVERIFY(s.showActive());
    auto* subject = s.get<QLineEdit>("Text1");
    subject->setFocus();
    QTest::keyClicks(subject, "abcdefghijklmnopqrstuvwxyz");
    QCOMPARE(subject->text(), "abcdefghijklmnopqrst");
    auto* content = s.get<QPlainTextEdit>("Text2");
    content->setFocus();
    QTest::keyClicks(content, QString(60, u'x'));
    QCOMPARE(content->toPlainText(), QString(50, u'x'));
    // A stored text longer than the limit is shown whole: it is how the record is found.
    s.window.openScheduleRow(kHeading, {QString(25, u's'), QString(55, u'c'), "まだ", "残る"});
    QCOMPARE(subject->text(), QString(25, u's'));
    QCOMPARE(content->toPlainText(), QString(55, u'c'));
  }

  void hiraganaForTheTextBoxes() {
    Session s;
    QVERIFY(s.showActive());
    for (const char* name : {"Combo1", "Text1", "Text2", "Combo4", "Text3"}) {
      s.get(name)->setFocus();
      QTRY_COMPARE(QApplication::focusWidget()->objectName(), name);
    }
    QCOMPARE(s.platform.hiraganaRequests, QStringList({"Text1", "Text2", "Text3"}));
  }
};

QTEST_MAIN(EditorWindowTest)
#include "tst_editor_window.moc"
