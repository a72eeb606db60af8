#include "ui/ListDelegates.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QStyleOptionHeader>
#include <QToolTip>

QSize GlyphHeightRows::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QSize hint = QStyledItemDelegate::sizeHint(option, index);
  hint.setHeight(rowHeight(option.font));
  if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) {
    hint.setWidth(std::min(hint.width(), view->viewport()->width()));
  }
  return hint;
}

int GlyphHeightRows::rowHeight(const QFont& font) { return QFontInfo(font).pixelSize() + 1; }

ElidedCells::ElidedCells(Qt::TextElideMode mode, QObject* parent)
    : QStyledItemDelegate(parent), mode_(mode) {}

void ElidedCells::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  option->textElideMode = mode_;
}

bool ElidedCells::isShortened(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem cell = option;
  initStyleOption(&cell, index);
  if (cell.text.isEmpty()) return false;
  const QWidget* widget = cell.widget;
  const QStyle* style = widget ? widget->style() : QApplication::style();
  // The style keeps this margin on each side of an item's text.
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
  return QFontMetricsF(cell.font).horizontalAdvance(cell.text) > textRect.width() - 2 * margin;
}

bool ElidedCells::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                            const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() == QEvent::ToolTip && index.isValid() && isShortened(option, index)) {
    const QRect cell = view->visualRect(index);
    QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(),
                       cell);
    return true;
  }
  return QStyledItemDelegate::helpEvent(event, view, option, index);
}

void ElidedCaptions::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
  const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
  if (element != CE_HeaderLabel || !header) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  // The option's rectangle is already the label's part of the section.
  QStyleOptionHeader shortened = *header;
  shortened.text =
      header->fontMetrics.elidedText(header->text, Qt::ElideRight, header->rect.width());
  QProxyStyle::drawControl(element, &shortened, painter, widget);
}
