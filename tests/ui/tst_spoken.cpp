// What the program's own accessible interfaces tell a screen reader: a one-line field's text in
// one run of attributes and nothing of its caret while it takes the focus, report lists as
// tables whose cells carry their column captions, a current row on arrival, a group's radio
// buttons not labelled by the group, the announcer's notification, the date dialog's parts and
// its calendar keys.

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
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

// Notes, at each focus event a field's filters see, whether the field's interface is valid.
class FocusWitness : public QObject {
 public:
  explicit FocusWitness(QLineEdit* field) : field_(field) { field->installEventFilter(this); }
  bool valid() const { return QAccessible::queryAccessibleInterface(field_)->isValid(); }
  QList<QPair<QEvent::Type, bool>> seen;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
      seen.append({event->type(), valid()});
    }
    return false;
  }

 private:
  QLineEdit* field_;
};

QString nameOf(QAccessibleInterface* node) { return node ? node->text(QAccessible::Name) : "-"; }

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

  // A list of rows is a table, its first row the captions (Qt gives a tree, and Orca says
  // tree); its cells follow the rows as rows come and go.
  void reportListIsATable() {
    QTreeWidget list;
    list.setHeaderLabels({"件名", "内容"});
    makeSpokenReportList(&list);
    list.addTopLevelItems({new QTreeWidgetItem(QStringList{"燃えるゴミ", "朝8時まで"}),
                           new QTreeWidgetItem(QStringList{"歯医者", "午後3時"})});
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&list);
    QCOMPARE(table->role(), QAccessible::Table);
    QAccessibleTableInterface* rows = table->tableInterface();
    QVERIFY(rows);
    QCOMPARE(rows->rowCount(), 2);
    QCOMPARE(rows->columnCount(), 2);
    QCOMPARE(table->childCount(), 6);
    QCOMPARE(table->child(1)->role(), QAccessible::ColumnHeader);
    QCOMPARE(nameOf(table->child(1)), "内容");
    // Numbered as Qt numbers a tree's items when it tells of the current one.
    QAccessibleInterface* cell = rows->cellAt(1, 0);
    QCOMPARE(cell, table->child(4));
    QCOMPARE(cell->role(), QAccessible::Cell);
    QCOMPARE(nameOf(cell), "件名 歯医者");
    QCOMPARE(table->indexOfChild(cell), 4);
    QCOMPARE(cell->parent(), table);
    QAccessibleTableCellInterface* place = cell->tableCellInterface();
    QVERIFY(place);
    QCOMPARE(place->rowIndex(), 1);
    QCOMPARE(place->columnIndex(), 0);
    QCOMPARE(place->columnHeaderCells().size(), 1);
    QCOMPARE(nameOf(place->columnHeaderCells().first()), "件名");
    QCOMPARE(place->table(), table);
    // Choosing a row through the table makes it the list's current, chosen row.
    QVERIFY(rows->selectRow(1));
    QCOMPARE(list.currentItem(), list.topLevelItem(1));
    QCOMPARE(rows->selectedRows(), QList<int>{1});
    QVERIFY(rows->cellAt(1, 1)->state().selected);
    QVERIFY(!rows->cellAt(0, 1)->state().selected);
    // A row put first moves the others down; a row taken away is gone.
    list.insertTopLevelItem(0, new QTreeWidgetItem(QStringList{"会議", ""}));
    QCOMPARE(nameOf(rows->cellAt(0, 0)), "件名 会議");
    QCOMPARE(nameOf(rows->cellAt(2, 0)), "件名 歯医者");
    QCOMPARE(rows->cellAt(2, 0)->tableCellInterface()->rowIndex(), 2);
    delete list.takeTopLevelItem(2);
    QCOMPARE(rows->rowCount(), 2);
    QCOMPARE(rows->cellAt(2, 0), nullptr);
    QCOMPARE(nameOf(rows->cellAt(1, 1)), "内容 朝8時まで");
  }

  // A field tells nothing (its interface is not valid, and Qt sends no event of it) while it
  // takes or gives up the focus, where it selects and drops its text and moves its caret: Orca
  // said a filled field's text twice, and took an empty field's caret for its focus. Its own
  // handling of the focus and the filters on it still run; afterwards it tells as before.
  void fieldTakesTheFocusQuietly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("filled") << QStringLiteral("燃えるゴミ");
    QTest::newRow("empty") << QString();
  }
  void fieldTakesTheFocusQuietly() {
    QFETCH(QString, text);
    QWidget window;
    auto* before = new QLineEdit(QStringLiteral("前"), &window);
    auto* field = new QLineEdit(text, &window);
    auto* after = new QLineEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    FocusWitness witness(field);
    field->setFocus(Qt::TabFocusReason);
    QCOMPARE(field->selectedText(), text);  // it still selects its text, as Qt's fields do
    QVERIFY(witness.valid());
    after->setFocus(Qt::TabFocusReason);
    QVERIFY(!field->hasSelectedText());
    QVERIFY(witness.valid());
    QCOMPARE(witness.seen, (QList<QPair<QEvent::Type, bool>>{{QEvent::FocusIn, false},
                                                             {QEvent::FocusOut, false}}));
  }

  // A button of a group box is not labelled by the box: Orca said the group's name for the box
  // and again for the button.
  void radioButtonIsNotLabelledByItsBox() {
    QGroupBox box(QStringLiteral("タイプ"));
    box.setAccessibleName(QStringLiteral("タイマーの種類"));
    auto* daily = new QRadioButton(QStringLiteral("毎日"), &box);
    auto* once = new QRadioButton(QStringLiteral("一回だけ"), &box);
    daily->setChecked(true);
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(daily);
    QCOMPARE(button->role(), QAccessible::RadioButton);
    QCOMPARE(nameOf(button), "毎日");
    QVERIFY(button->state().checkable);
    QVERIFY(button->state().checked);
    QVERIFY(button->relations(QAccessible::Label).isEmpty());
    QVERIFY(button->actionInterface());
    button->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(daily->isChecked());
    QAccessible::queryAccessibleInterface(once)->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
    QVERIFY(once->isChecked());
    QVERIFY(!button->state().checked);
    QCOMPARE(nameOf(QAccessible::queryAccessibleInterface(&box)), "タイマーの種類");
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
