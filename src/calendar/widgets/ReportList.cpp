#include "calendar/widgets/ReportList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>

#include "ui/ListDelegates.h"
#include "ui/UiSupport.h"

QTreeWidget* makeReportList(QWidget* parent, const char* name, const QStringList& headers,
                            const QList<int>& widthsInTwips) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QLatin1String(name));
  list->setColumnCount(static_cast<int>(headers.size()));
  list->setHeaderLabels(headers);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setFont(japaneseFont(12));
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  // The style's least section width (about 50 pixels at 12 pt) would widen the narrow columns
  // of the design past the list and bring up a scroll bar; a caption too long ends in "…".
  list->header()->setMinimumSectionSize(1);
  auto* captions = new ElidedCaptions;
  captions->setParent(list->header());
  list->header()->setStyle(captions);
  for (int i = 0; i < widthsInTwips.size(); ++i) {
    list->header()->resizeSection(i, twips(widthsInTwips[i]));
  }
  return list;
}

QStringList rowTexts(const QTreeWidget* list, int row) {
  QStringList texts;
  const QTreeWidgetItem* item = list->topLevelItem(row);
  if (!item) return texts;
  for (int column = 0; column < list->columnCount(); ++column) texts.append(item->text(column));
  return texts;
}

RowOpener::RowOpener(QTreeWidget* list) : QObject(list), list_(list) {
  connect(list, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { emit rowOpened(list_->indexOfTopLevelItem(item)); });
  list->installEventFilter(this);
}

bool RowOpener::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() & ~(Qt::KeypadModifier)) return false;
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter && key->key() != Qt::Key_Space) {
    return false;
  }
  // Enter or Space opens the current row as a click does.
  if (list_->hasFocus()) {
    if (QTreeWidgetItem* item = list_->currentItem()) {
      emit rowOpened(list_->indexOfTopLevelItem(item));
    }
  }
  return true;
}
