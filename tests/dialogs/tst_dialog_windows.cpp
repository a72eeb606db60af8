// The search window (Form6), the usage help (Form7) and the version window (frmAbout).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "dialogs/widgets/SearchWindow.h"
#include "dialogs/widgets/UsageHelpWindow.h"
#include "dialogs/widgets/VersionWindow.h"
#include "editor/widgets/EditorWindow.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

namespace {

// CP932 bytes of the texts used below.
const QByteArray kFullWidthAbc("\x82\x60\x82\x61\x82\x62");  // ＡＢＣ
const QByteArray kKaigi("\x89\xEF\x8B\x63");                 // 会議
const QByteArray kShiryou("\x8E\x91\x97\xBF");               // 資料

QByteArray entryLine(const QByteArray& date, const QByteArray& subject, const QByteArray& content,
                     const QByteArray& flags) {
  return "\"" + date + "\",\"" + subject + "\",\"" + content + "\"," + flags + "\r\n";
}

// Timers whose first fields would match every search if they were taken for entries.
const QByteArray kTimers =
    "\"abc\",\"abc\",\"abc\",\"0\",\"1\",\"07\",\"30\",\"\"\r\n"
    "\"ABC\",\"abc\",\"abc\",\"1\",\"0\",\"08\",\"00\",\"\"\r\n";

const QByteArray kSearchFile = entryLine("2001/01/05", "ABC", kKaigi, "0,0") +
                               entryLine("2001/01/06", kFullWidthAbc, "xyz", "1,1") +
                               entryLine("2001/01/07", "xyz", "abc" + kShiryou, "1,0") +
                               kMarkerLine + kTimers;

const QStringList kRowAbc{"2001/01/05(金)", "ABC", "会議", "まだ", "残る"};
const QStringList kRowWideAbc{"2001/01/06(土)", "ＡＢＣ", "xyz", "終了", "削除"};
const QStringList kRowXyz{"2001/01/07(日)", "xyz", "abc資料", "終了", "残る"};

// A registry that holds what a test puts in it, under HKEY_LOCAL_MACHINE.
class FakeRegistry final : public RegistryReader {
 public:
  void putText(const QString& key, const QString& name, const QByteArray& text) {
    values_.insert(key + '|' + name, RegistryValue{kRegistryString, text + '\0'});
  }
  std::optional<RegistryValue> read(RegistryRoot root, const QString& key,
                                    const QString& name) const override {
    if (root != RegistryRoot::LocalMachine) return std::nullopt;
    const auto found = values_.constFind(key + '|' + name);
    if (found == values_.cend()) return std::nullopt;
    return *found;
  }

 private:
  QMap<QString, RegistryValue> values_;
};

const QString kMsinfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

struct Session {
  QTemporaryDir dir;
  FakePlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  FakeViews views;

  explicit Session(const QByteArray& file = kSearchFile) {
    platform.clock = QDateTime(QDate(2024, 6, 15), QTime(10, 0, 0));
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, file);
  }
};

struct SearchSession : Session {
  SearchWindow window{context, views, nullptr};

  using Session::Session;

  template <typename T = QWidget>
  T* get(const QString& name) {
    T* widget = window.findChild<T*>(name);
    if (!widget) qFatal("no control %s", qPrintable(name));
    return widget;
  }
  QTreeWidget* list() { return get<QTreeWidget>("ListView1"); }
  void search(int kind, const QString& text) {
    get<QRadioButton>(QStringLiteral("Option1(%1)").arg(kind))->click();
    get<QLineEdit>("Text1")->setText(text);
    get<QPushButton>("Command1")->click();
  }
  QList<QStringList> rows() {
    QList<QStringList> rows;
    for (int i = 0; i < list()->topLevelItemCount(); ++i) {
      QStringList row;
      for (int column = 0; column < list()->columnCount(); ++column) {
        row << list()->topLevelItem(i)->text(column);
      }
      rows << row;
    }
    return rows;
  }
  bool showActive() {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
  }
  void clickRow(int row) {
    QTreeWidget* results = list();
    const QRect rect = results->visualItemRect(results->topLevelItem(row));
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, rect.center());
  }
};

// Runs `inspect` on the first modal window that opens, then closes it.
void whenModalOpens(std::function<void(QWidget*)> inspect) {
  QTimer::singleShot(0, [inspect = std::move(inspect)] {
    QWidget* modal = QApplication::activeModalWidget();
    QVERIFY(modal);
    inspect(modal);
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  });
}

QStringList focusOrder(QWidget* first, const QStringList& names) {
  QStringList order;
  QWidget* widget = first;
  do {
    if (names.contains(widget->objectName()) && !order.contains(widget->objectName())) {
      order << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != first);
  return order;
}

void checkUniqueAccessibleNames(const QList<QWidget*>& controls) {
  QSet<QString> names;
  for (QWidget* control : controls) {
    QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    names.insert(control->accessibleName());
  }
  QCOMPARE(names.size(), controls.size());
}

// How a control may stray from the drawn layout: where the font is taller than the one the
// window was drawn for, the frame of search kinds grows, everything below it moves down by as
// much, and the result list gives up the room (its bottom stays).
enum Placement { Exact, FrameGrows, InFrame, MovesDown, ListShrinks };

}  // namespace

class DialogWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  // --- Form6 --------------------------------------------------------------------------

  void searchWindow() {
    SearchSession s;
    QCOMPARE(s.window.objectName(), "Form6");
    QCOMPARE(s.window.windowTitle(), "検索しま～す");
    QCOMPARE(s.window.size(), QSize(823, 637));
    QCOMPARE(s.window.minimumSize(), s.window.maximumSize());
    QVERIFY(!(s.window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(s.window.windowFlags() & Qt::WindowMinimizeButtonHint));
    // At the main window's left edge, 1000 twips (67 pixels) below its top.
    QCOMPARE(s.window.pos(), QPoint(100, 117));
    QCOMPARE(s.context.openWindows.search, &s.window);

    // Opens with kind 0, an empty usable text and an empty list.
    QVERIFY(s.get<QRadioButton>("Option1(0)")->isChecked());
    QVERIFY(s.get("Text1")->isEnabled());
    QCOMPARE(s.get<QLineEdit>("Text1")->text(), QString());
    QCOMPARE(s.list()->topLevelItemCount(), 0);

    const QStringList order{"Text1",      "Option1(0)", "Option1(1)", "Option1(2)",
                            "Option1(3)", "Command1",   "Command2",   "ListView1"};
    QCOMPARE(focusOrder(s.get("Text1"), order), order);

    QTreeWidget* list = s.list();
    QStringList headings;
    for (int i = 0; i < list->columnCount(); ++i) headings << list->headerItem()->text(i);
    QCOMPARE(headings, QStringList({"日付け", "件名", "内容", "終了", "削除"}));
    QHeaderView* header = list->header();
    QCOMPARE(header->sectionSize(1), 220);
    QCOMPARE(header->sectionSize(3), 47);
    QCOMPARE(header->sectionSize(4), 47);
    // The date column is at least as drawn and whole for a date with its weekday; what it
    // takes more comes out of the content column.
    QVERIFY(header->sectionSize(0) >= 113);
    QVERIFY(header->sectionSize(0) >=
            list->fontMetrics().horizontalAdvance(QStringLiteral("2001/01/05(金)")));
    QCOMPARE(header->sectionSize(0) + header->sectionSize(2), 113 + 391);

    checkUniqueAccessibleNames({s.get("Text1"), s.get("Option1(0)"), s.get("Option1(1)"),
                                s.get("Option1(2)"), s.get("Option1(3)"), s.get("ListView1")});
    QCOMPARE(s.get("Text1")->accessibleDescription(),
             "検索したい文字を入力してください（文字の一部でも可）");
  }

  void searchControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QRect>("geometry");  // pixels at 96 dpi; option buttons in their frame
    QTest::addColumn<int>("placement");
    auto row = [](const char* name, const QString& text, const QString& toolTip, QRect geometry,
                  Placement placement) {
      QTest::newRow(name) << QString::fromLatin1(name) << text << toolTip << geometry
                          << int(placement);
    };
    row("Label1", "検索したい文字を入力してください", "", QRect(0, 0, 820, 56), Exact);
    row("Frame1", "検索したい項目を選択してください", "", QRect(0, 59, 561, 49), FrameGrows);
    row("Option1(0)", "件名で検索", "", QRect(16, 24, 113, 15), InFrame);
    row("Option1(1)", "内容で検索", "", QRect(144, 24, 113, 16), InFrame);
    row("Option1(2)", "終了していないもの", "", QRect(264, 24, 177, 16), InFrame);
    row("Option1(3)", "終了したもの", "", QRect(432, 24, 121, 16), InFrame);
    row("Text1", "", "検索したい文字を入力してください（文字の一部でも可）", QRect(0, 112, 561, 25),
        MovesDown);
    row("Command1", "検索開始", "検索開始", QRect(0, 139, 412, 41), MovesDown);
    row("Command2", "閉じる", "閉じる", QRect(411, 139, 412, 41), MovesDown);
    row("ListView1", "", "検索結果", QRect(0, 180, 824, 459), ListShrinks);
  }

  void searchControls() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QRect, geometry);
    QFETCH(int, placement);
    SearchSession s;
    QWidget* control = s.get(name);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) shown = button->text();
    if (auto* frame = qobject_cast<QGroupBox*>(control)) shown = frame->title();
    QCOMPARE(shown, text);
    QCOMPARE(control->toolTip(), toolTip);

    const int growth = s.get("Frame1")->height() - 49;
    QVERIFY(growth >= 0);
    // Whatever the font, the list keeps most of its room.
    QVERIFY(growth < 30);
    switch (placement) {
      case Exact:
        QCOMPARE(control->geometry(), geometry);
        break;
      case FrameGrows:
        QCOMPARE(control->geometry(), geometry.adjusted(0, 0, 0, growth));
        break;
      case InFrame: {
        QCOMPARE(control->x(), geometry.x());
        QCOMPARE(control->width(), geometry.width());
        // Below the frame's caption, inside its border, a whole line of text high.
        auto* frame = qobject_cast<QGroupBox*>(control->parentWidget());
        QVERIFY(control->y() >= std::max(geometry.y(), frame->contentsRect().top()));
        QVERIFY(control->geometry().bottom() <= frame->contentsRect().bottom());
        QVERIFY(control->height() >= std::max(geometry.height(), control->fontMetrics().height()));
        break;
      }
      case MovesDown:
        QCOMPARE(control->geometry(), geometry.translated(0, growth));
        break;
      case ListShrinks:
        QCOMPARE(control->geometry(), geometry.adjusted(0, growth, 0, 0));
        break;
    }
  }

  void emptyTextRefusedForTextKinds_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("subject") << 0;
    QTest::newRow("content") << 1;
  }

  void emptyTextRefusedForTextKinds() {
    QFETCH(int, kind);
    SearchSession s;
    s.search(2, QString());  // something listed before, which the refused search clears
    QVERIFY(s.list()->topLevelItemCount() > 0);
    s.search(kind, QString());
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages[0].text, "空白はいけません");
    QCOMPARE(s.platform.messages[0].title, "Yotenna");
    QCOMPARE(s.platform.messages[0].icon, MessageIcon::Warning);
    QCOMPARE(s.platform.messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(s.list()->topLevelItemCount(), 0);
  }

  void search_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QStringList>>("expected");
    QTest::newRow("subject, case and width ignored")
        << 0 << "abc" << QList<QStringList>{kRowAbc, kRowWideAbc};
    QTest::newRow("subject, a piece of it") << 0 << "B" << QList<QStringList>{kRowAbc, kRowWideAbc};
    QTest::newRow("subject, no match") << 0 << "zzz" << QList<QStringList>{};
    QTest::newRow("subject, the search text must lie inside the subject")
        << 0 << "xyzw" << QList<QStringList>{};
    QTest::newRow("content") << 1 << "ABC" << QList<QStringList>{kRowXyz};
    QTest::newRow("content, kanji") << 1 << "会議" << QList<QStringList>{kRowAbc};
    QTest::newRow("not finished, empty text") << 2 << "" << QList<QStringList>{kRowAbc};
    QTest::newRow("finished, empty text") << 3 << "" << QList<QStringList>{kRowWideAbc, kRowXyz};
    QTest::newRow("finished, text ignored")
        << 3 << "zzz" << QList<QStringList>{kRowWideAbc, kRowXyz};
  }

  void search() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QList<QStringList>, expected);
    SearchSession s;
    s.search(kind, text);
    QCOMPARE(s.rows(), expected);
    QCOMPARE(s.platform.messages.size(), 0);
    QCOMPARE(readBytes(s.state.CurrentDataFile), kSearchFile);
  }

  void secondSearchListsEachMatchOnce() {
    SearchSession s;
    s.search(0, "abc");
    s.get<QPushButton>("Command1")->click();
    QCOMPARE(s.rows(), (QList<QStringList>{kRowAbc, kRowWideAbc}));
    s.search(3, "abc");
    QCOMPARE(s.rows(), (QList<QStringList>{kRowWideAbc, kRowXyz}));
  }

  void flagKindsGreyTheTextAndKeepIt() {
    SearchSession s;
    QVERIFY(s.showActive());
    auto* text = s.get<QLineEdit>("Text1");
    QVERIFY(text->hasFocus());
    QVERIFY(s.platform.hiraganaRequests.contains("Text1"));
    text->setText("abc");
    for (int kind : {2, 3}) {
      s.get<QRadioButton>(QStringLiteral("Option1(%1)").arg(kind))->click();
      QCOMPARE(s.window.searchKind(), kind);
      QVERIFY(!text->isEnabled());
      QCOMPARE(text->text(), "abc");
    }
    s.get<QPushButton>("Command1")->click();
    QCOMPARE(s.rows(), (QList<QStringList>{kRowWideAbc, kRowXyz}));

    s.get<QPushButton>("Command1")->setFocus();
    s.get<QRadioButton>("Option1(1)")->click();
    QVERIFY(text->isEnabled());
    QCOMPARE(text->text(), "abc");
    QVERIFY(text->hasFocus());
    s.get<QPushButton>("Command1")->click();
    QCOMPARE(s.rows(), (QList<QStringList>{kRowXyz}));
  }

  void unreadableFileIsReportedOnce() {
    SearchSession s;
    s.search(0, "abc");
    s.state.CurrentDataFile = s.dir.filePath("gone.dat");
    s.search(3, QString());
    QCOMPARE(s.platform.messages.size(), 1);
    QVERIFY(s.platform.messages[0].text.contains("gone.dat"));
    QCOMPARE(s.platform.messages[0].title, "Yotenna");
    QCOMPARE(s.platform.messages[0].icon, MessageIcon::Warning);
    QCOMPARE(s.list()->topLevelItemCount(), 0);
  }

  void enterAndEscape() {
    SearchSession s;
    QVERIFY(s.showActive());
    // Enter in the text box searches, once.
    QTest::keyClicks(s.get("Text1"), "abc");
    QTest::keyClick(s.get("Text1"), Qt::Key_Return);
    QCOMPARE(s.list()->topLevelItemCount(), 2);
    QTest::keyClick(s.get("Text1"), Qt::Key_Enter);
    QCOMPARE(s.list()->topLevelItemCount(), 2);
    QVERIFY(s.platform.messages.isEmpty());
    // An empty text is refused as 検索開始 refuses it.
    s.get<QLineEdit>("Text1")->clear();
    QTest::keyClick(s.get("Text1"), Qt::Key_Return);
    QCOMPARE(s.platform.messages.size(), 1);
    QCOMPARE(s.platform.messages[0].text, "空白はいけません");
    // Enter on a button presses it.
    QTest::keyClicks(s.get("Text1"), "abc");
    s.get("Command1")->setFocus();
    QTest::keyClick(s.get("Command1"), Qt::Key_Return);
    QCOMPARE(s.list()->topLevelItemCount(), 2);
    s.get("Command2")->setFocus();
    QTest::keyClick(s.get("Command2"), Qt::Key_Return);
    QVERIFY(!s.window.isVisible());
  }

  void escapeClosesTheSearch() {
    SearchSession s;
    QVERIFY(s.showActive());
    QTest::keyClicks(s.get("Text1"), "abc");
    QTest::keyClick(s.get("Text1"), Qt::Key_Escape);
    QVERIFY(!s.window.isVisible());
    QCOMPARE(s.window.result(), int(QDialog::Rejected));
  }

  void foundRowOpensInEditor_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("fields");  // Combo1-3, Text1, Text2
    QTest::addColumn<bool>("finished");
    QTest::addColumn<bool>("deleteNext");
    QTest::newRow("finished, to be deleted")
        << 0 << QStringList{"2001", "01", "06", "ＡＢＣ", "xyz"} << true << true;
    QTest::newRow("finished, to stay")
        << 1 << QStringList{"2001", "01", "07", "xyz", "abc資料"} << true << false;
  }

  void foundRowOpensInEditor() {
    QFETCH(int, row);
    QFETCH(QStringList, fields);
    QFETCH(bool, finished);
    QFETCH(bool, deleteNext);
    SearchSession s;
    QVERIFY(s.showActive());
    s.search(3, QString());

    bool inspected = false;
    whenModalOpens([&](QWidget* modal) {
      QCOMPARE(modal->objectName(), "Form5");
      QCOMPARE(modal->parentWidget(), &s.window);
      QCOMPARE(s.context.openWindows.editor.data(), modal);
      auto box = [modal](const char* name) { return modal->findChild<QComboBox*>(name); };
      QCOMPARE(
          (QStringList{box("Combo1")->currentText(), box("Combo2")->currentText(),
                       box("Combo3")->currentText(), modal->findChild<QLineEdit*>("Text1")->text(),
                       modal->findChild<QPlainTextEdit*>("Text2")->toPlainText()}),
          fields);
      for (const char* name : {"Combo1", "Combo2", "Combo3"}) QVERIFY(!box(name)->isEnabled());
      QCOMPARE(modal->findChild<QCheckBox*>("Check1")->isChecked(), finished);
      QCOMPARE(modal->findChild<QCheckBox*>("Check2")->isChecked(), deleteNext);
      QString enabled;
      for (const char* name : {"Command1", "Command2", "Command3", "Command4", "Command6",
                               "Command7", "Command8", "Command9"}) {
        enabled += modal->findChild<QPushButton*>(name)->isEnabled() ? u'1' : u'0';
      }
      QCOMPARE(enabled, "01111001");
      // The timer side has today's defaults.
      QCOMPARE(box("Combo4")->currentText(), "2024");
      QCOMPARE(box("Combo8")->currentText(), "10");
      // The snapshot by which the entry is found again holds the row's values.
      const EditorSnapshot& snapshot = s.state.EditorSnapshot;
      const QStringList kept{snapshot[1],  snapshot[2],  snapshot[3], snapshot[10],
                             snapshot[11], snapshot[13], snapshot[14]};
      const QStringList flags{finished ? "1" : "0", deleteNext ? "1" : "0"};
      QCOMPARE(kept, fields + flags);
      inspected = true;
    });
    s.clickRow(row);
    QVERIFY(inspected);
    // The rows stay as they were.
    QCOMPARE(s.rows(), (QList<QStringList>{kRowWideAbc, kRowXyz}));
  }

  void unfinishedRowOpensWithBoxesOff() {
    SearchSession s;
    QVERIFY(s.showActive());
    s.search(2, QString());
    bool inspected = false;
    whenModalOpens([&](QWidget* modal) {
      QVERIFY(!modal->findChild<QCheckBox*>("Check1")->isChecked());
      QVERIFY(!modal->findChild<QCheckBox*>("Check2")->isChecked());
      QCOMPARE(modal->findChild<QLineEdit*>("Text1")->text(), "ABC");
      inspected = true;
    });
    // From the keyboard: the selected row, Enter.
    s.list()->setFocus();
    s.list()->setCurrentItem(s.list()->topLevelItem(0));
    QTest::keyClick(s.list(), Qt::Key_Return);
    QVERIFY(inspected);
  }

  void editorChangeFromSearchWritesTheFile() {
    SearchSession s;
    QVERIFY(s.showActive());
    s.search(2, QString());
    whenModalOpens([](QWidget* modal) {
      modal->findChild<QCheckBox*>("Check1")->setChecked(true);
      modal->findChild<QPushButton*>("Command3")->click();  // 更新
    });
    s.clickRow(0);
    QCOMPARE(readBytes(s.state.CurrentDataFile),
             entryLine("2001/01/05", "ABC", kKaigi, "1,0") +
                 entryLine("2001/01/06", kFullWidthAbc, "xyz", "1,1") +
                 entryLine("2001/01/07", "xyz", "abc" + kShiryou, "1,0") + kMarkerLine + kTimers);
    QCOMPARE(s.views.calls, (QStringList{"ShowDayHoliday", "LoadDaySchedules", "RefreshMonthView",
                                         "finishRefresh"}));
    // The list is a snapshot until the next search.
    QCOMPARE(s.rows(), (QList<QStringList>{kRowAbc}));
  }

  void alarmClosesEditorAndSearch() {
    Session s;
    SearchWindow window(s.context, s.views, nullptr);
    window.findChild<QRadioButton*>("Option1(3)")->click();
    window.findChild<QPushButton*>("Command1")->click();
    QTimer::singleShot(0, [&] {
      QTimer::singleShot(0, [&] {
        QVERIFY(s.context.openWindows.editor);
        closeOpenWindows(s.context);
      });
      auto* list = window.findChild<QTreeWidget*>("ListView1");
      window.openResultRow(list->topLevelItem(0));
    });
    QCOMPARE(window.exec(), int(QDialog::Rejected));
    QVERIFY(!s.context.openWindows.editor);
  }

  // --- Form7 --------------------------------------------------------------------------

  void usageHelp() {
    Session s;
    UsageHelpWindow window(s.context, s.views, nullptr);
    QCOMPARE(window.objectName(), "Form7");
    QCOMPARE(window.windowTitle(), "すんげー簡単な説明");
    QCOMPARE(s.context.openWindows.usageHelp, &window);
    QCOMPARE(window.pos(), QPoint(100, 117));
    QCOMPARE(window.width(), 490);
    QVERIFY(window.height() >= 180);
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(window.findChildren<QAbstractButton*>().isEmpty());

    const QStringList texts{
        "使い方です", "カレンダー機能",
        "予定を書き込みましょう、カレンダーの日付けをクリックすると編集画面が出ます、自動で消え"
        "ますにチェックを付けると終了にチェックをつけた場合は次にデータを開いた時に削除されます"
        "。",
        "タイマー機能",
        "指定した時間になると教えてくれます、データを追加していきましょう、一回だけという場合は"
        "一度出てくると消えてしまいます、一回だけというデータで現在の日付けより前の場合は次にデ"
        "ータを開いた時に削除されます。"};
    QList<QLabel*> labels;
    for (int i = 0; i < texts.size(); ++i) {
      auto* label = window.findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 1));
      QVERIFY(label);
      QCOMPARE(label->text(), texts[i]);
      labels << label;
    }
    QCOMPARE(labels[0]->geometry(), QRect(0, 0, 489, 49));
    QCOMPARE(labels[0]->font().pointSizeF(), 36.0);
    QVERIFY(labels[1]->font().bold());
    QCOMPARE(labels[1]->pos(), QPoint(0, 40));
    QCOMPARE(labels[2]->x(), 16);
    QCOMPARE(labels[2]->width(), 473);
    // Each text is whole: tall enough for its lines, below the one before, inside the window.
    for (int i = 1; i < labels.size(); ++i) {
      QLabel* label = labels[i];
      const int needed =
          label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
      QVERIFY2(label->height() >= needed, qPrintable(label->objectName()));
      if (i > 1) QVERIFY(label->y() >= labels[i - 1]->geometry().bottom());
      QVERIFY(label->geometry().bottom() < window.height());
    }
  }

  void usageHelpClosesByEscOrCloseBox() {
    Session s;
    UsageHelpWindow window(s.context, s.views, nullptr);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
      QTest::keyClick(&window, key);
      QVERIFY(window.isVisible());
    }
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    window.show();
    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
  }

  // --- frmAbout -----------------------------------------------------------------------

  void versionWindow() {
    Session s;
    FakeRegistry registry;
    VersionWindow window(s.context, s.views, nullptr, &registry);
    QCOMPARE(window.objectName(), "frmAbout");
    QCOMPARE(window.windowTitle(), "Yotennaのﾊﾞｰｼﾞｮﾝ情報");
    QCOMPARE(s.context.openWindows.version, &window);
    QCOMPARE(window.size(), QSize(522, 347));
    QCOMPARE(window.pos(), QPoint(100, 117));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
    QCOMPARE(window.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);

    auto label = [&](const char* name) { return window.findChild<QLabel*>(name); };
    QCOMPARE(label("lblTitle")->text(), "Yotenna");
    QCOMPARE(label("lblTitle")->pos(), QPoint(56, 16));
    QCOMPARE(label("lblVersion")->text(), "Version 1.1.5");
    QCOMPARE(label("lblDescription")->text(),
             "アプリケーションの説明" + QString(48, QChar(0x3000)) +
                 "カレンダーに予定を書き込んだり、目覚まし時計のように教えてくれる機能がありますの"
                 "で何かに夢中になっていて忘れてしまうということを防いでくれます。");
    QCOMPARE(label("lblDisclaimer")->text(), "Copyright (C) Yotenna developers");
    // Each text whole inside its box, and its box inside the window.
    for (const char* name : {"lblTitle", "lblVersion", "lblDescription", "lblDisclaimer"}) {
      QLabel* text = label(name);
      const int needed =
          text->wordWrap() ? text->heightForWidth(text->width()) : text->sizeHint().height();
      QVERIFY2(text->height() >= needed, name);
      QVERIFY2(text->geometry().right() < window.width(), name);
    }
    // The description ends above the separator.
    QVERIFY(label("lblDescription")->geometry().bottom() < 187);
    QCOMPARE(label("picIcon")->pixmap().size(), QSize(32, 32));
    QCOMPARE(label("picIcon")->pos(), QPoint(8, 16));

    auto* ok = window.findChild<QPushButton*>("cmdOK");
    auto* sysInfo = window.findChild<QPushButton*>("cmdSysInfo");
    QCOMPARE(ok->text(), "OK");
    QCOMPARE(ok->geometry(), QRect(419, 287, 92, 23));
    QVERIFY(ok->isDefault());
    QCOMPARE(sysInfo->text(), "ｼｽﾃﾑ情報(&S)...");
    QCOMPARE(sysInfo->geometry(), QRect(420, 317, 92, 23));
    checkUniqueAccessibleNames({ok, sysInfo, label("picIcon")});

    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(ok->hasFocus());
  }

  void versionWindowCloses_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
  }

  void versionWindowCloses() {
    QFETCH(int, key);
    Session s;
    FakeRegistry registry;
    VersionWindow window(s.context, s.views, nullptr, &registry);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(!window.isVisible());
    QCOMPARE(s.platform.started.size(), 0);
  }

  void sysInfo_data() {
    QTest::addColumn<QString>("pathValue");    // empty: no "PATH" value
    QTest::addColumn<QString>("msinfoValue");  // empty: no "MSINFO" value
    QTest::addColumn<QStringList>("existingFiles");
    QTest::addColumn<bool>("startSucceeds");
    QTest::addColumn<QString>("started");  // empty: nothing started
    QTest::addColumn<bool>("message");

    const QString exe = QStringLiteral("C:\\Program Files\\Common Files\\msinfo32.exe");
    const QString folder = QStringLiteral("C:\\Tools");
    QTest::newRow("no values") << ""
                               << "" << QStringList{} << true << "" << true;
    QTest::newRow("PATH names a missing file") << exe << "" << QStringList{} << true << "" << true;
    QTest::newRow("PATH names a program") << exe << "" << QStringList{exe} << true << exe << false;
    QTest::newRow("MSINFO names a folder without the program")
        << "" << folder << QStringList{} << true << "" << true;
    QTest::newRow("MSINFO names the program's folder")
        << "" << folder << QStringList{"C:\\Tools\\MSINFO32.EXE"} << true
        << "C:\\Tools\\MSINFO32.EXE" << false;
    QTest::newRow("the start fails") << exe << "" << QStringList{exe} << false << exe << true;
  }

  void sysInfo() {
    QFETCH(QString, pathValue);
    QFETCH(QString, msinfoValue);
    QFETCH(QStringList, existingFiles);
    QFETCH(bool, startSucceeds);
    QFETCH(QString, started);
    QFETCH(bool, message);
    Session s;
    s.platform.startsSucceed = startSucceeds;
    FakeRegistry registry;
    if (!pathValue.isEmpty()) registry.putText(kMsinfoKey, "PATH", pathValue.toLatin1());
    if (!msinfoValue.isEmpty()) registry.putText(kLocationKey, "MSINFO", msinfoValue.toLatin1());
    VersionWindow window(s.context, s.views, nullptr, &registry,
                         [&](const QString& path) { return existingFiles.contains(path); });
    window.findChild<QPushButton*>("cmdSysInfo")->click();

    QStringList programs;
    for (const FakePlatform::Start& start : s.platform.started) {
      programs << start.program;
      QCOMPARE(start.arguments, QStringList());
    }
    QCOMPARE(programs, started.isEmpty() ? QStringList() : QStringList{started});
    QCOMPARE(s.platform.messages.size(), message ? 1 : 0);
    if (message) {
      QCOMPARE(s.platform.messages[0].text, "現時点ではｼｽﾃﾑ情報を使用できません");
      QCOMPARE(s.platform.messages[0].title, "Yotenna");
      QCOMPARE(s.platform.messages[0].icon, MessageIcon::None);
      QCOMPARE(s.platform.messages[0].buttons, MessageButtons::Ok);
    }
  }
};

QTEST_MAIN(DialogWindowsTest)
#include "tst_dialog_windows.moc"
