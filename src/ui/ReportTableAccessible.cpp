#include "ui/ReportTableAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeWidget>

// The children are numbered as Qt numbers a tree view's when it tells of its current item: row
// by row, the captions first, (row + 1) * columns + column.

namespace {

// A cell of a row, or of the captions' row when its index has no row (a caption's column).
class ReportCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  // A data cell.
  ReportCellAccessible(QTreeWidget* list, const QModelIndex& index)
      : list_(list), index_(index), caption_(-1) {}
  // The caption of a column.
  ReportCellAccessible(QTreeWidget* list, int column) : list_(list), caption_(column) {}

  bool isCaption() const { return caption_ >= 0; }
  QTreeWidget* list() const { return list_; }
  // Whether it is still the cell at (row, column) of the list: rows come and go under it.
  bool isAt(int row, int column) const {
    if (isCaption()) return row < 0 && column == caption_;
    return index_.isValid() && index_.row() == row && index_.column() == column;
  }

  bool isValid() const override {
    if (!list_) return false;
    return isCaption() ? caption_ < list_->columnCount() : index_.isValid();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(list_);
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QString text(QAccessible::Text kind) const override {
    if (!isValid()) return {};
    if (isCaption()) {
      return kind == QAccessible::Name ? list_->headerItem()->text(caption_) : QString();
    }
    switch (kind) {
      case QAccessible::Name: {
        const QString spoken = index_.data(Qt::AccessibleTextRole).toString();
        return spoken.isEmpty() ? index_.data(Qt::DisplayRole).toString() : spoken;
      }
      case QAccessible::Description:
        return index_.data(Qt::AccessibleDescriptionRole).toString();
      default:
        return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    if (!isValid() || !list_->isVisible()) return {};
    if (isCaption()) {
      const QHeaderView* header = list_->header();
      const QRect local(header->sectionViewportPosition(caption_), 0, header->sectionSize(caption_),
                        header->height());
      return QRect(header->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    const QRect local = list_->visualRect(index_);
    return QRect(list_->viewport()->mapToGlobal(local.topLeft()), local.size());
  }

  QAccessible::Role role() const override {
    return isCaption() ? QAccessible::ColumnHeader : QAccessible::Cell;
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    if (!isValid()) {
      state.invalid = true;
      return state;
    }
    if (!list_->isVisible()) state.invisible = true;
    if (isCaption()) return state;
    if (!list_->viewport()->rect().intersects(list_->visualRect(index_))) state.offscreen = true;
    if (list_->selectionMode() != QAbstractItemView::NoSelection) {
      state.selectable = true;
      state.selected = isSelected();
    }
    state.focusable = list_->focusPolicy() != Qt::NoFocus;
    state.focused = list_->hasFocus() && list_->currentIndex() == QModelIndex(index_);
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableCellInterface) {
      return static_cast<QAccessibleTableCellInterface*>(this);
    }
    return nullptr;
  }

  // QAccessibleTableCellInterface
  bool isSelected() const override {
    return !isCaption() && isValid() && list_->selectionModel()->isSelected(index_);
  }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    QAccessibleInterface* table = parent();
    if (isCaption() || !table) return {};
    return {table->child(index_.column())};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return isCaption() ? caption_ : index_.column(); }
  int rowIndex() const override { return isCaption() ? -1 : index_.row(); }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  QPointer<QTreeWidget> list_;
  QPersistentModelIndex index_;
  int caption_;
};

class ReportTableAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit ReportTableAccessible(QTreeWidget* list) : QAccessibleWidget(list, QAccessible::Table) {}

  ~ReportTableAccessible() override {
    for (QAccessible::Id id : std::as_const(cells_)) QAccessible::deleteAccessibleInterface(id);
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  int childCount() const override { return (rowCount() + 1) * columnCount(); }

  QAccessibleInterface* child(int index) const override {
    const int columns = columnCount();
    if (index < 0 || index >= childCount() || columns == 0) return nullptr;
    const int row = index / columns - 1;
    const int column = index % columns;
    if (auto found = cells_.constFind(index); found != cells_.constEnd()) {
      auto* cell = static_cast<ReportCellAccessible*>(QAccessible::accessibleInterface(*found));
      if (cell && cell->isAt(row, column)) return cell;
      QAccessible::deleteAccessibleInterface(*found);
      cells_.remove(index);
    }
    auto* cell = row < 0 ? new ReportCellAccessible(list(), column)
                         : new ReportCellAccessible(list(), list()->model()->index(row, column));
    cells_.insert(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* cell = dynamic_cast<const ReportCellAccessible*>(child);
    if (!cell || !cell->isValid() || cell->list() != list()) return -1;
    return (cell->rowIndex() + 1) * columnCount() + cell->columnIndex();
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = list()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = list()->indexAt(local);
    return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
  }

  // QAccessibleTableInterface
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    return child((row + 1) * columnCount() + column);
  }
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QString columnDescription(int column) const override {
    return column >= 0 && column < columnCount() ? list()->headerItem()->text(column) : QString();
  }
  QString rowDescription(int) const override { return {}; }
  int columnCount() const override { return list()->columnCount(); }
  int rowCount() const override { return list()->topLevelItemCount(); }

  int selectedCellCount() const override {
    return static_cast<int>(selection()->selectedIndexes().size());
  }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override {
    return static_cast<int>(selection()->selectedRows().size());
  }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    for (const QModelIndex& index : selection()->selectedIndexes()) {
      if (QAccessibleInterface* cell = cellAt(index.row(), index.column())) cells.append(cell);
    }
    return cells;
  }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override {
    QList<int> rows;
    for (const QModelIndex& index : selection()->selectedRows()) rows.append(index.row());
    return rows;
  }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override { return selection()->isRowSelected(row); }
  bool selectRow(int row) override {
    const QModelIndex index = list()->model()->index(row, 0);
    if (!index.isValid() || list()->selectionMode() == QAbstractItemView::NoSelection) {
      return false;
    }
    selection()->setCurrentIndex(index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
  }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int row) override {
    const QModelIndex index = list()->model()->index(row, 0);
    if (!index.isValid()) return false;
    selection()->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
  }
  bool unselectColumn(int) override { return false; }

  // Cells whose row has moved or gone are forgotten; child() makes them afresh.
  void modelChange(QAccessibleTableModelChangeEvent*) override {
    const int columns = columnCount();
    for (auto it = cells_.begin(); it != cells_.end();) {
      auto* cell = static_cast<ReportCellAccessible*>(QAccessible::accessibleInterface(*it));
      const int row = columns > 0 ? it.key() / columns - 1 : -1;
      const int column = columns > 0 ? it.key() % columns : -1;
      if (cell && columns > 0 && cell->isAt(row, column)) {
        ++it;
      } else {
        QAccessible::deleteAccessibleInterface(*it);
        it = cells_.erase(it);
      }
    }
  }

 private:
  QTreeWidget* list() const { return static_cast<QTreeWidget*>(object()); }
  QItemSelectionModel* selection() const { return list()->selectionModel(); }

  mutable QHash<int, QAccessible::Id> cells_;  // child index -> its interface
};

}  // namespace

QAccessibleInterface* makeReportTableAccessible(QTreeWidget* list) {
  return new ReportTableAccessible(list);
}
