#include "ui/Accessibility.h"

// The lists and menus as a screen reader should meet them: cells read with their column's
// caption, a row told on arrival, a menu's name told as it opens.

#include <QAccessible>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include "ui/ReportTableAccessible.h"

namespace {

// Names the cells of rows [first, last] by their column's caption and text.
void nameCells(QTreeWidget* list, int first, int last) {
  const QTreeWidgetItem* header = list->headerItem();
  for (int row = first; row <= last; ++row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    if (!item) continue;
    for (int column = 0; column < list->columnCount(); ++column) {
      const QString caption = header->text(column);
      const QString text = spokenText(item->text(column));
      item->setData(column, Qt::AccessibleTextRole,
                    text.isEmpty() ? caption : caption + u' ' + text);
    }
  }
}

// How long after the list's own focus its row is told, in milliseconds.
constexpr int kRowAfterList = 400;

// Gives the list a current row on arrival and tells it again after the list's own focus.
class SpokenReportList : public QObject {
 public:
  explicit SpokenReportList(QTreeWidget* list) : QObject(list), list_(list) {
    list->installEventFilter(this);
    connect(list->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
              if (!parent.isValid()) nameCells(list_, first, last);
            });
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) {
      // Once the screen reader has taken in the list itself: a row told together with the
      // list's focus is read as the same row as the last list's (Orca then reads one cell).
      QTimer::singleShot(kRowAfterList, this, [this] { tellCurrentRow(); });
    }
    return false;
  }

 private:
  void tellCurrentRow() {
    if (!list_->hasFocus() || list_->topLevelItemCount() == 0) return;
    QItemSelectionModel* selection = list_->selectionModel();
    const QModelIndex current = selection->currentIndex();
    const QModelIndex row = current.isValid() ? current : list_->model()->index(0, 0);
    // The row, chosen, as a new current row: that is what a screen reader hears.
    selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    selection->setCurrentIndex(row,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }

  QTreeWidget* list_;
};

}  // namespace

void makeSpokenReportList(QTreeWidget* list) {
  installAccessibleInterfaces();
  // A table from now on: whatever Qt made of the list before (a tree) is dropped.
  list->setProperty(kReportTableProperty, true);
  QAccessible::deleteAccessibleInterface(
      QAccessible::uniqueId(QAccessible::queryAccessibleInterface(list)));
  nameCells(list, 0, list->topLevelItemCount() - 1);
  new SpokenReportList(list);
}

namespace {

class MenuAnnouncer : public QObject {
 public:
  explicit MenuAnnouncer(QMenuBar* bar)
      : QObject(bar), bar_(bar), spoken_(makeAnnouncer(bar->window(), QStringLiteral("MenuName"))) {
    spoken_->setGeometry(0, 0, 1, 1);
    QPalette unseen = spoken_->palette();
    unseen.setColor(QPalette::WindowText, Qt::transparent);
    spoken_->setPalette(unseen);
    for (QAction* action : bar->actions()) {
      QMenu* menu = action->menu();
      if (!menu) continue;
      // Qt names a menu by its window title, which is empty.
      menu->setAccessibleName(QString(action->text()).remove(u'&'));
      menu->installEventFilter(this);
    }
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      // Left and Right close one menu and open the next in the same key.
      switching_ = true;
      QTimer::singleShot(0, this, [this] { switching_ = false; });
    } else if (event->type() == QEvent::Show) {
      QPointer<QMenu> menu = static_cast<QMenu*>(watched);
      // The menu's name as it opens: Orca takes a focus on the menu and on its first item,
      // told together, for the item alone; and the highlighted item again after Qt's own
      // events of the opening (the main window's focus among them).
      // (The first menu, opened from the bar, is said by the bar.)
      if (switching_) announce(spoken_, menu->accessibleName());
      QTimer::singleShot(0, this, [this, menu] {
        if (menu && menu->isVisible()) tellItem(menu);
      });
    }
    return false;
  }

 private:
  static void tellItem(QMenu* menu) {
    if (!QAccessible::isActive()) return;
    if (QAction* active = menu->activeAction()) {
      QAccessibleEvent item(menu, QAccessible::Focus);
      item.setChild(static_cast<int>(menu->actions().indexOf(active)));
      QAccessible::updateAccessibility(&item);
    }
  }

  QMenuBar* bar_;
  QLabel* spoken_;
  bool switching_ = false;
};

}  // namespace

void announceMenus(QMenuBar* bar) { new MenuAnnouncer(bar); }
