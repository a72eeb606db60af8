#include "calendar/widgets/MonthGridPanel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <algorithm>

#include "calendar/MonthGrid.h"
#include "calendar/widgets/CalendarColors.h"
#include "ui/ListDelegates.h"
#include "ui/UiSupport.h"

namespace {

// Sizes in twips.
constexpr int kCellLabelLeft = 0, kCellListLeft = 720, kCellTop = 3580;
constexpr int kCellLabelWidth = 735, kCellListWidth = 2960, kCellHeight = 420;

const char* const kDayIndexProperty = "dayCellIndex";

// The cell index a widget of the grid carries; -1 for any other widget.
int cellIndexOf(const QObject* object) {
  const QVariant index = object->property(kDayIndexProperty);
  return index.isValid() ? index.toInt() : -1;
}

}  // namespace

MonthGridPanel::MonthGridPanel(AppContext& context, QWidget* client, QObject* parent)
    : QObject(parent), context_(context) {
  // The month lengths the grid's keys and loads go by; February's is set for each year.
  static constexpr std::array<int, 12> kMonthLengths{31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    context_.state.MonthDays[static_cast<size_t>(month)] =
        kMonthLengths[static_cast<size_t>(month - 1)];
  }
  auto* rows = new GlyphHeightRows(client);
  for (int k = 0; k < kDayCells; ++k) createCell(k, client, rows);
}

void MonthGridPanel::createCell(int k, QWidget* client, GlyphHeightRows* rows) {
  // Element 0 holds the design; elements 1-30 copy it: days 1-15 in the left column,
  // 16-31 in the right one (labels 5 label widths, lists 1.243 list widths to the right).
  double labelLeft = kCellLabelLeft;
  double listLeft = kCellListLeft;
  int row = k;
  if (k >= 15) {
    labelLeft += 5.0 * kCellLabelWidth;
    listLeft = kCellListLeft + 1.243 * kCellListWidth;
    row = k - 15;
  }
  auto* label = new QLabel(client);
  label->setObjectName(QStringLiteral("Label1(%1)").arg(k));
  label->setGeometry(
      twipsRect(labelLeft, kCellTop + row * kCellHeight, kCellLabelWidth, kCellHeight));
  label->setAlignment(Qt::AlignCenter);
  label->setAutoFillBackground(true);
  label->setFont(japaneseFont(12, true));
  label->setToolTip(QStringLiteral("クリックすると予定が表示されます"));
  label->setProperty(kDayIndexProperty, k);
  label->installEventFilter(this);
  label->setVisible(k == 0);

  auto* list = new QListWidget(client);
  list->setObjectName(QStringLiteral("List1(%1)").arg(k));
  list->setGeometry(twipsRect(listLeft, kCellTop + row * kCellHeight, kCellListWidth, kCellHeight));
  list->setToolTip(QStringLiteral("件名が表示されます"));
  list->setAccessibleDescription(list->toolTip());
  // Two subjects fit in the cell's height; more scroll. A long subject ends in "…".
  list->setItemDelegate(rows);
  list->setUniformItemSizes(true);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setProperty(kDayIndexProperty, k);
  list->viewport()->setProperty(kDayIndexProperty, k);
  list->viewport()->installEventFilter(this);
  // The grid is one stop of the Tab key, the selected day's cell (see markSelectedDay); the
  // arrow keys move the selected day from there.
  list->setFocusPolicy(Qt::NoFocus);
  list->installEventFilter(this);
  list->setVisible(k == 0);

  labels_[static_cast<size_t>(k)] = label;
  lists_[static_cast<size_t>(k)] = list;
}

void MonthGridPanel::showMonthLayout() {
  SharedState& state = context_.state;
  const QDate today = context_.platform.now().date();
  const MonthGrid layout = monthGridLayout(state.SelYear, state.SelMonth, today);
  state.MonthDays[2] = layout.februaryLength;
  for (int i = 0; i < kDayCells; ++i) labelCell(i, layout.cells[static_cast<size_t>(i)], today);
  paint(layout);
}

void MonthGridPanel::labelCell(int index, const DayCell& cell, const QDate& today) {
  QLabel* label = labels_[static_cast<size_t>(index)];
  QListWidget* list = lists_[static_cast<size_t>(index)];
  label->setVisible(cell.visible);
  list->setVisible(cell.visible);
  if (!cell.visible) return;
  label->setText(cell.caption);
  const SharedState& state = context_.state;
  const int day = index + 1;
  // Today is marked by its colour on the screen and by its name for a screen reader.
  QString dayName =
      QStringLiteral("%1月%2日 %3曜日").arg(state.SelMonth).arg(day).arg(cell.caption.right(1));
  if (QDate(state.SelYear, state.SelMonth, day) == today) dayName += QStringLiteral(" 今日");
  label->setAccessibleName(dayName);
  list->setAccessibleName(dayName + QStringLiteral("の件名"));
}

Status MonthGridPanel::loadMonth() {
  const SharedState& state = context_.state;
  for (int i = 0; i < state.MonthDays[static_cast<size_t>(state.SelMonth)]; ++i) {
    lists_[static_cast<size_t>(i)]->clear();
  }
  const MonthGrid grid = loadMonthGrid(state.CurrentDataFile, state.SelYear, state.SelMonth,
                                       context_.platform.now().date());
  paint(grid);
  for (size_t i = 0; i < static_cast<size_t>(kDayCells); ++i) {
    if (grid.cells[i].visible) lists_[i]->addItems(grid.cells[i].items);
  }
  return grid.status;
}

void MonthGridPanel::paint(const MonthGrid& grid) {
  for (int i = 0; i < kDayCells; ++i) paintCell(i, grid.cells[static_cast<size_t>(i)]);
}

void MonthGridPanel::paintCell(int index, const DayCell& cell) {
  if (!cell.visible) return;
  setColors(labels_[static_cast<size_t>(index)], QPalette::Window, cell.labelBackground,
            &cell.labelText);
  setColors(lists_[static_cast<size_t>(index)], QPalette::Base, cell.listBackground);
}

void MonthGridPanel::markSelectedDay() {
  const bool gridHasFocus = std::any_of(lists_.begin(), lists_.end(),
                                        [](const QListWidget* list) { return list->hasFocus(); });
  const size_t selected = static_cast<size_t>(std::clamp(context_.state.SelDay, 1, kDayCells) - 1);
  for (size_t i = 0; i < lists_.size(); ++i) {
    lists_[i]->setFocusPolicy(i == selected ? Qt::StrongFocus : Qt::NoFocus);
  }
  // The focus follows the selected day while it is in the grid.
  if (gridHasFocus) lists_[selected]->setFocus(Qt::OtherFocusReason);
}

bool MonthGridPanel::keyPressed(const QKeyEvent& key) {
  if (key.modifiers() & ~(Qt::KeypadModifier)) return false;
  const int day = context_.state.SelDay;
  const int monthLength = context_.state.MonthDays[static_cast<size_t>(context_.state.SelMonth)];
  // Days 1-15 stand in the left column, 16-31 in the right one, a row apart each.
  int target = 0;
  switch (key.key()) {
    case Qt::Key_Up:
      target = day - 1;
      break;
    case Qt::Key_Down:
      target = day + 1;
      break;
    case Qt::Key_Left:
      target = day >= 16 && day <= 30 ? day - 15 : 0;
      break;
    case Qt::Key_Right:
      target = day <= 15 ? day + 15 : 0;
      break;
    case Qt::Key_Home:
      target = 1;
      break;
    case Qt::Key_End:
      target = monthLength;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      emit newEntryRequested();
      return true;
    default:
      return false;
  }
  if (target >= 1 && target <= monthLength && target != day) emit daySelected(target - 1);
  return true;
}

void MonthGridPanel::showFocusFrame(int index, bool shown) {
  // The focus's faint frame inside a small cell is easily missed: the day's number is framed
  // while its cell has the keyboard.
  QLabel* label = labels_[static_cast<size_t>(index)];
  label->setFrameStyle(shown ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
  label->setLineWidth(2);
}

bool MonthGridPanel::eventFilter(QObject* watched, QEvent* event) {
  const int index = cellIndexOf(watched);
  if (index < 0) return QObject::eventFilter(watched, event);
  const bool isList = qobject_cast<QListWidget*>(watched) != nullptr;
  switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      if (isList) showFocusFrame(index, event->type() == QEvent::FocusIn);
      break;
    case QEvent::KeyPress:
      if (isList) return keyPressed(*static_cast<QKeyEvent*>(event));
      break;
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) emit daySelected(index);
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
