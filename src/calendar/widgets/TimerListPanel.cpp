#include "calendar/widgets/TimerListPanel.h"

#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "calendar/TimerList.h"
#include "calendar/widgets/ReportList.h"
#include "ui/ColumnWidths.h"
#include "ui/ListDelegates.h"
#include "ui/UiSupport.h"

namespace {

constexpr int kTitleColumn = 0, kPictureColumn = 4;
// Past this many texts the cache starts again rather than grow with every timer ever shown.
constexpr qsizetype kMostKnownWidths = 20000;

}  // namespace

TimerListPanel::TimerListPanel(QWidget* client, QObject* parent) : QObject(parent) {
  list_ = makeReportList(client, "ListView2",
                         {QStringLiteral("題名"), QStringLiteral("種類"), QStringLiteral("いつ？"),
                          QStringLiteral("時間"), QStringLiteral("画像データ")},
                         {1500, 680, 1770, 700, 310});
  list_->setGeometry(twipsRect(7320, 3565, 5055, 6750));
  list_->setToolTip(QStringLiteral("タイマーのデータが表示されます"));
  setAccessible(list_, QStringLiteral("タイマーの一覧"));
  // The columns are fitted to the texts (fitColumnsToTexts); a shortened cell ends in "…", a
  // picture path at its start so that the file name stays in sight.
  list_->setItemDelegate(new ElidedCells(Qt::ElideRight, list_));
  list_->setItemDelegateForColumn(kPictureColumn, new ElidedCells(Qt::ElideLeft, list_));
  list_->viewport()->installEventFilter(this);
  connect(new RowOpener(list_), &RowOpener::rowOpened, this, &TimerListPanel::rowOpened);
}

Status TimerListPanel::load(const QString& dataFile) {
  list_->clear();
  const TimerList timers = loadTimerList(dataFile);
  QList<QTreeWidgetItem*> items;
  items.reserve(timers.rows.size());
  for (const TimerListRow& row : timers.rows) items.append(new QTreeWidgetItem(row.columns()));
  list_->addTopLevelItems(items);
  fitColumnsToTexts();
  return timers.status;
}

QStringList TimerListPanel::row(int row) const { return rowTexts(list_, row); }

bool TimerListPanel::eventFilter(QObject* watched, QEvent* event) {
  // The vertical scroll bar comes and goes with the number of timers.
  if (event->type() == QEvent::Resize && watched == list_->viewport()) fitColumnsToTexts();
  return QObject::eventFilter(watched, event);
}

int TimerListPanel::textWidth(const QString& text, const QFontMetricsF& metrics) {
  auto known = knownWidths_.constFind(text);
  if (known == knownWidths_.cend()) {
    known = knownWidths_.insert(text, static_cast<int>(std::ceil(metrics.horizontalAdvance(text))));
  }
  return *known;
}

void TimerListPanel::fitColumnsToTexts() {
  QHeaderView* header = list_->header();
  const QFontMetricsF cellFont(list_->font());
  const QFontMetricsF captionFont(header->font());
  // What the style keeps free around a cell's text and around a caption.
  const int cellMargins = 2 * (list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
  const int captionMargins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin);
  if (knownFont_ != list_->font().key() || knownWidths_.size() > kMostKnownWidths) {
    knownWidths_.clear();
    knownFont_ = list_->font().key();
  }
  auto cellWidth = [&](const QString& text) { return textWidth(text, cellFont) + cellMargins; };

  const int columns = list_->columnCount();
  QList<ColumnNeed> needs(columns);
  for (int column = 0; column < columns; ++column) {
    needs[column].whole = static_cast<int>(std::ceil(
                              captionFont.horizontalAdvance(list_->headerItem()->text(column)))) +
                          captionMargins;
  }
  int fileName = 0;  // "…" and the longest file name
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    for (int column = 0; column < columns; ++column) {
      needs[column].whole = std::max(needs[column].whole, cellWidth(item->text(column)));
    }
    const QString picture = item->text(kPictureColumn);
    if (!picture.isEmpty()) {
      fileName = std::max(fileName, cellWidth(QChar(0x2026) + QFileInfo(picture).fileName()));
    }
  }
  // Kind, when and time always show in full; the title and the picture path share the rest,
  // the path by its file name.
  needs[kTitleColumn].share = needs[kTitleColumn].whole;
  needs[kPictureColumn].share = std::max(fileName, needs[kPictureColumn].whole / 2);
  const QList<int> widths = fitColumns(needs, list_->viewport()->width());
  for (int column = 0; column < columns; ++column) header->resizeSection(column, widths[column]);
}
