// What the program's own accessible interfaces tell a screen reader: a one-line field's text in
// one run of attributes, report rows with their column captions and a current row on arrival,
// the announcer's notification, the date dialog's parts and its calendar keys.

#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "calendar/widgets/DateDialog.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "ui/Accessibility.h"

namespace {

QAccessibleTextInterface* textOf(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible ? accessible->textInterface() : nullptr;
}

}  // namespace

class SpokenTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installAccessibleInterfaces(); }

  // Orca splits a line by its attribute runs; a run one character short lost 燃えるゴミ's ミ.
  void lineFieldIsOneRun_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("kana") << QStringLiteral("燃えるゴミ");
    QTest::newRow("ascii") << QStringLiteral("abc");
    QTest::newRow("one character") << QStringLiteral("x");
    QTest::newRow("empty") << QString();
  }
  void lineFieldIsOneRun() {
    QFETCH(QString, text);
    QLineEdit field(text);
    QAccessibleTextInterface* spoken = textOf(&field);
    QVERIFY(spoken);
    QCOMPARE(spoken->characterCount(), text.size());
    QCOMPARE(spoken->text(0, static_cast<int>(text.size())), text);
    for (int offset = 0; offset <= text.size(); ++offset) {
      int start = -2, end = -2;
      spoken->attributes(offset, &start, &end);
      QCOMPARE(start, 0);
      QCOMPARE(end, static_cast<int>(text.size()));
    }
    int start = -2, end = -2;
    QCOMPARE(spoken->textAtOffset(0, QAccessible::LineBoundary, &start, &end), text);
  }

  // Typed through the accessibility interface, as an input method would; a read-only field
  // (an opened timer's title) takes nothing.
  void lineFieldTakesTextUnlessReadOnly() {
    QLineEdit field(QStringLiteral("ab"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&field);
    accessible->editableTextInterface()->insertText(2, QStringLiteral("ゴミ"));
    QCOMPARE(field.text(), "abゴミ");
    QVERIFY(accessible->state().editable);
    field.setReadOnly(true);
    accessible->editableTextInterface()->insertText(0, QStringLiteral("x"));
    QCOMPARE(field.text(), "abゴミ");
    QVERIFY(accessible->state().readOnly);
    QVERIFY(!accessible->state().editable);
  }

  // A combo box's field keeps its selection to itself: the box says the value.
  void comboFieldTellsNoSelection() {
    QComboBox box;
    box.setEditable(true);
    box.setEditText(QStringLiteral("12"));
    box.lineEdit()->selectAll();
    QCOMPARE(textOf(box.lineEdit())->selectionCount(), 0);
    QLineEdit alone(QStringLiteral("12"));
    alone.selectAll();
    QCOMPARE(textOf(&alone)->selectionCount(), 1);
  }

  void reportCellsCarryTheirCaption_data() {
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QStringList>("spoken");
    QTest::newRow("whole row") << QStringList{"燃えるゴミ", "朝8時まで", "まだ", "残る"}
                               << QStringList{"件名 燃えるゴミ", "内容 朝8時まで", "終了 まだ",
                                              "削除 残る"};
    QTest::newRow("empty content, padded subject")
        << QStringList{" 会議  ", "", "終了", "削除"}
        << QStringList{"件名 会議", "内容", "終了 終了", "削除 削除"};
  }
  void reportCellsCarryTheirCaption() {
    QFETCH(QStringList, row);
    QFETCH(QStringList, spoken);
    QTreeWidget list;
    list.setHeaderLabels({"件名", "内容", "終了", "削除"});
    makeSpokenReportList(&list);
    // Rows added after the list was made, one at a time and several at once.
    list.addTopLevelItem(new QTreeWidgetItem(row));
    list.addTopLevelItems({new QTreeWidgetItem(row), new QTreeWidgetItem(row)});
    for (int r = 0; r < 3; ++r) {
      for (int column = 0; column < 4; ++column) {
        QCOMPARE(list.topLevelItem(r)->data(column, Qt::AccessibleTextRole).toString(),
                 spoken[column]);
        // What the screen shows is unchanged.
        QCOMPARE(list.topLevelItem(r)->text(column), row[column]);
      }
    }
  }

  // Arriving in a list with rows leaves it with a current, chosen row.
  void arrivingGivesACurrentRow() {
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* list = new QTreeWidget(&window);
    list->setHeaderLabels({"件名"});
    makeSpokenReportList(list);
    list->addTopLevelItems(
        {new QTreeWidgetItem(QStringList{"a"}), new QTreeWidgetItem(QStringList{"b"})});
    window.show();
    QApplication::setActiveWindow(&window);
    before->setFocus();
    list->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(list->currentItem() != nullptr);
    QTRY_COMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->currentItem()->text(0), "a");
    // A row chosen before stays the row.
    before->setFocus();
    list->setCurrentItem(list->topLevelItem(1));
    list->setFocus(Qt::TabFocusReason);
    QTest::qWait(300);
    QCOMPARE(list->currentItem()->text(0), "b");
  }

  void announcerIsANotification() {
    QWidget window;
    QLabel* announcer = makeAnnouncer(&window, QStringLiteral("Said"));
    window.show();
    QVERIFY(!announcer->isVisible());
    announce(announcer, QStringLiteral("1件見つかりました"));
    QVERIFY(announcer->isVisible());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(announcer);
    QCOMPARE(accessible->role(), QAccessible::Notification);
    QCOMPARE(accessible->text(QAccessible::Name), "1件見つかりました");
    announce(announcer, QStringLiteral("該当する予定がありません"));
    QCOMPARE(accessible->text(QAccessible::Name), "該当する予定がありません");
  }

  // Left and Right go from part to part of the date and never onto the weekday after it.
  void dateDialogMovesByParts_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("part");
    QTest::newRow("right") << QList<int>{Qt::Key_Right} << int(QDateTimeEdit::MonthSection);
    QTest::newRow("right twice") << QList<int>{Qt::Key_Right, Qt::Key_Right}
                                 << int(QDateTimeEdit::DaySection);
    QTest::newRow("past the day") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}
                                  << int(QDateTimeEdit::DaySection);
    QTest::newRow("and back") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
                                            Qt::Key_Left}
                              << int(QDateTimeEdit::MonthSection);
    QTest::newRow("before the year") << QList<int>{Qt::Key_Left} << int(QDateTimeEdit::YearSection);
  }
  void dateDialogMovesByParts() {
    QFETCH(QList<int>, keys);
    QFETCH(int, part);
    FakePlatform platform;
    platform.clock = QDateTime(QDate(2026, 12, 9), QTime(10, 0));
    SharedState state;
    AppContext context{state, platform, [] {}};
    FakeViews views;
    DateDialog dialog(context, views, nullptr);
    QDateEdit* picker = dialog.picker();
    picker->setCurrentSection(QDateTimeEdit::YearSection);
    for (int key : keys) QTest::keyClick(picker, static_cast<Qt::Key>(key));
    QCOMPARE(int(picker->currentSection()), part);
    // The date itself did not move.
    QCOMPARE(picker->date(), QDate(2026, 12, 9));
    auto* said = dialog.findChild<QLabel*>(QStringLiteral("DateAnnouncer"));
    QVERIFY(said);
    const QString expected = part == QDateTimeEdit::YearSection    ? QStringLiteral("年 2026")
                             : part == QDateTimeEdit::MonthSection ? QStringLiteral("月 12")
                                                                   : QStringLiteral("日 09");
    QCOMPARE(said->text(), expected);
  }

  // F4 and Alt+Down drop the calendar down; Alt+Down no longer lowers the month.
  void dateDialogOpensTheCalendar_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("F4") << int(Qt::Key_F4) << int(Qt::NoModifier);
    QTest::newRow("Alt+Down") << int(Qt::Key_Down) << int(Qt::AltModifier);
  }
  void dateDialogOpensTheCalendar() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    FakePlatform platform;
    platform.clock = QDateTime(QDate(2026, 12, 9), QTime(10, 0));
    SharedState state;
    AppContext context{state, platform, [] {}};
    FakeViews views;
    DateDialog dialog(context, views, nullptr);
    dialog.show();
    QDateEdit* picker = dialog.picker();
    picker->setFocus();
    picker->setCurrentSection(QDateTimeEdit::MonthSection);
    QVERIFY(!picker->calendarWidget()->isVisible());
    QTest::keyClick(picker, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QTRY_VERIFY(picker->calendarWidget()->isVisible());
    QCOMPARE(picker->date(), QDate(2026, 12, 9));
    picker->calendarWidget()->window()->close();
  }
};

QTEST_MAIN(SpokenTest)
#include "tst_spoken.moc"
