// The month grid's day cells and the timer list keep their design sizes with the fonts of a
// Japanese desktop (Noto Sans CJK JP): what they show is fitted to them.
#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "store/Cp932.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"
#include "ui/ColumnWidths.h"
#include "ui/ListDelegates.h"
#include "ui/UiSupport.h"

namespace {

QByteArray cp932(const QString& text) { return encodeCp932(text).value_or(QByteArray()); }

QByteArray entry(const char* date, const QString& subject) {
  return "\"" + QByteArray(date) + "\",\"" + cp932(subject) + "\",\"\",0,0\r\n";
}

// title, kind ("0" once, "1" weekly, "2" daily), weekday or year/month/day, time, picture
QByteArray timer(const QString& title, const char* kind, const QString& day1, const char* day2,
                 const char* day3, const char* time, const QString& picture) {
  const QByteArray clock(time);
  return "\"" + cp932(title) + "\",\"" + kind + "\",\"" + cp932(day1) + "\",\"" + day2 + "\",\"" +
         day3 + "\",\"" + clock.left(2) + "\",\"" + clock.right(2) + "\",\"" + cp932(picture) +
         "\"\r\n";
}

struct Window {
  QTemporaryDir dir;
  FakePlatform platform;
  SharedState state;
  AppContext context{state, platform, [] {}};
  std::unique_ptr<MainWindow> window;

  explicit Window(const QByteArray& contents) {
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, contents);
    platform.clock = QDateTime(QDate(2001, 5, 3), QTime(10, 0, 0));
    state.SelYear = 2001;
    state.SelMonth = 5;
    state.SelDay = 3;
    state.MonthDays[0] = 1;
    window = std::make_unique<MainWindow>(context);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }
  QListWidget* cell(int day) const {
    return window->findChild<QListWidget*>(QStringLiteral("List1(%1)").arg(day - 1));
  }
  QTreeWidget* timers() const { return window->findChild<QTreeWidget*>("ListView2"); }
};

}  // namespace

class ListFittingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    installJapaneseLanguage(*qApp);
    // The fitting is for the fonts of a Japanese desktop; scripts/setup.sh installs them.
    QCOMPARE(QFontInfo(japaneseFont(12)).family(), "Noto Sans CJK JP");
  }

  void twoSubjectsFitInADayCell_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("kanji") << "会議"
                           << "歯医者";
    QTest::newRow("kana and kanji") << "病院の予約を確認する"
                                    << "レポート提出";
    QTest::newRow("latin with descenders") << "gym yoga"
                                           << "Jpq 打ち合わせ";
    QTest::newRow("twenty characters") << "あいうえおかきくけこさしすせそたちつてと"
                                       << "一二三四五六七八九十一二三四五六七八九十";
  }
  void twoSubjectsFitInADayCell() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    Window w(entry("2001/05/15", first) + entry("2001/05/15", second) + kMarkerLine);
    QListWidget* cell = w.cell(15);
    QCOMPARE(cell->geometry(), twipsRect(720, 3580 + 14 * 420, 2960, 420));
    QCOMPARE(cell->count(), 2);
    const QRect viewport = cell->viewport()->rect();
    for (int i = 0; i < 2; ++i) {
      const QRect item = cell->visualItemRect(cell->item(i));
      QVERIFY2(viewport.contains(item), qPrintable(QStringLiteral("item %1 at %2,%3 %4x%5 in %6x%7")
                                                       .arg(i)
                                                       .arg(item.x())
                                                       .arg(item.y())
                                                       .arg(item.width())
                                                       .arg(item.height())
                                                       .arg(viewport.width())
                                                       .arg(viewport.height())));
      // No taller than the glyphs: the font's em square and a pixel of soft edge.
      QCOMPARE(item.height(), QFontInfo(cell->font()).pixelSize() + 1);
    }
    QVERIFY(!cell->verticalScrollBar()->isVisible());
    QVERIFY(!cell->horizontalScrollBar()->isVisible());
  }

  void moreSubjectsScroll() {
    Window w(entry("2001/05/15", "会議") + entry("2001/05/15", "歯医者") +
             entry("2001/05/15", "買い物") + kMarkerLine);
    QListWidget* cell = w.cell(15);
    QCOMPARE(cell->count(), 3);
    QVERIFY(cell->verticalScrollBar()->isVisible());
    cell->scrollToItem(cell->item(2));
    QVERIFY(cell->viewport()->rect().contains(cell->visualItemRect(cell->item(2))));
  }

  void everyTimerColumnLiesInsideTheList_data() {
    QTest::addColumn<QByteArray>("timers");
    QTest::addColumn<bool>("scrolls");
    const QByteArray four =
        timer("朝の散歩", "2", "", "", "", "0730", "") +
        timer("ゴミ出し", "1", "月", "", "", "0800", "/home/user/gomi.png") +
        timer("病院に電話する", "0", "2001", "05", "25", "0900", "/home/user/画像/病院.jpg") +
        timer("薬を飲む", "2", "", "", "", "2100", "");
    QTest::newRow("none") << QByteArray() << false;
    QTest::newRow("four") << four << false;
    QTest::newRow("twenty-character title and a long path")
        << timer("月曜日は燃えるゴミの日です朝八時までに出す", "0", "2001", "12", "31", "2359",
                 "/home/user/とても長いフォルダの名前/その下のフォルダ/ゴミ出しの絵.jpg")
        << false;
    QByteArray many;
    for (int i = 0; i < 40; ++i) many += four;
    QTest::newRow("forty rows bring the scroll bar") << many << true;
  }
  void everyTimerColumnLiesInsideTheList() {
    QFETCH(QByteArray, timers);
    QFETCH(bool, scrolls);
    Window w(kMarkerLine + timers);
    QTreeWidget* list = w.timers();
    QCOMPARE(list->geometry(), twipsRect(7320, 3565, 5055, 6750));
    QCOMPARE(list->verticalScrollBar()->isVisible(), scrolls);
    QHeaderView* header = list->header();
    const int inside = list->viewport()->width();
    for (int column = 0; column < list->columnCount(); ++column) {
      const int left = header->sectionViewportPosition(column);
      const int right = left + header->sectionSize(column);
      QVERIFY2(left >= 0 && right <= inside && header->sectionSize(column) > 0,
               qPrintable(QStringLiteral("column %1 spans %2-%3 of %4")
                              .arg(column)
                              .arg(left)
                              .arg(right)
                              .arg(inside)));
    }
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    // Kind, when and time, and their captions, always show in full.
    const QFontMetrics metrics(list->font());
    const int captionMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int column = 1; column <= 3; ++column) {
      const QString caption = list->headerItem()->text(column);
      QVERIFY2(
          metrics.horizontalAdvance(caption) + 2 * captionMargin <= header->sectionSize(column),
          qPrintable(caption));
    }
    auto* delegate =
        qobject_cast<ElidedCells*>(list->itemDelegateForIndex(list->model()->index(0, 1)));
    QVERIFY(delegate);
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
      for (int column = 1; column <= 3; ++column) {
        const QModelIndex index = list->model()->index(row, column);
        QStyleOptionViewItem option;
        option.initFrom(list->viewport());
        option.widget = list;
        option.font = list->font();
        option.rect = list->visualRect(index);
        QVERIFY2(!delegate->isShortened(option, index), qPrintable(index.data().toString()));
      }
    }
  }

  void dayListKeepsItsDesignColumns() {
    Window w(entry("2001/05/03", "家族で公園") + kMarkerLine);
    auto* list = w.window->findChild<QTreeWidget*>("ListView1");
    QHeaderView* header = list->header();
    const QList<int> design{3880, 7000, 700, 700};
    for (int column = 0; column < 4; ++column) {
      QCOMPARE(header->sectionSize(column), twips(design[column]));
    }
    QVERIFY(header->length() <= list->viewport()->width());
    QVERIFY(!list->horizontalScrollBar()->isVisible());
  }

  void shortenedCellsShowTheirWholeTextOnHover() {
    const QString path = "/home/user/とても長いフォルダの名前/その下のフォルダ/ゴミ出しの絵.jpg";
    const QString title = "月曜日は燃えるゴミの日です朝八時までに出す";
    Window w(kMarkerLine + timer(title, "0", "2001", "12", "31", "2359", path) +
             timer("薬", "2", "", "", "", "2100", ""));
    QTreeWidget* list = w.timers();
    struct Hover {
      int row;
      int column;
      QString tip;
    };
    // A cell shown in full leaves the list's own tooltip.
    for (const Hover& hover :
         {Hover{0, 4, path}, Hover{0, 0, title}, Hover{1, 0, "タイマーのデータが表示されます"}}) {
      QToolTip::hideText();
      const QRect cell = list->visualRect(list->model()->index(hover.row, hover.column));
      QHelpEvent event(QEvent::ToolTip, cell.center(),
                       list->viewport()->mapToGlobal(cell.center()));
      QApplication::sendEvent(list->viewport(), &event);
      QTRY_COMPARE(QToolTip::text(), hover.tip);
    }
  }

  void columnsShareTheWidth_data() {
    QTest::addColumn<QList<int>>("wholes");
    QTest::addColumn<QList<int>>("shares");
    QTest::addColumn<int>("available");
    QTest::addColumn<QList<int>>("widths");
    // title, kind, when, time, picture as the timer list has them
    QTest::newRow("all fit, the last takes the spare")
        << QList<int>{80, 40, 60, 46, 88} << QList<int>{80, 0, 0, 0, 44} << 335
        << QList<int>{80, 40, 60, 46, 109};
    QTest::newRow("too little: shared by the claims")
        << QList<int>{118, 44, 117, 46, 170} << QList<int>{118, 0, 0, 0, 82} << 335
        << QList<int>{75, 44, 117, 46, 53};
    QTest::newRow("a claim beyond the whole width gives the rest away")
        << QList<int>{50, 40, 100} << QList<int>{200, 0, 100} << 150 << QList<int>{50, 40, 60};
    QTest::newRow("unshared columns wider than the room: all shrink")
        << QList<int>{100, 300, 100} << QList<int>{10, 0, 0} << 250 << QList<int>{50, 150, 50};
    QTest::newRow("no room") << QList<int>{10, 10} << QList<int>{1, 1} << 0 << QList<int>{0, 0};
  }
  void columnsShareTheWidth() {
    QFETCH(QList<int>, wholes);
    QFETCH(QList<int>, shares);
    QFETCH(int, available);
    QFETCH(QList<int>, widths);
    QList<ColumnNeed> needs;
    for (qsizetype i = 0; i < wholes.size(); ++i) needs.append({wholes[i], shares[i]});
    QCOMPARE(fitColumns(needs, available), widths);
  }
};

QTEST_MAIN(ListFittingTest)
#include "tst_list_fitting.moc"
