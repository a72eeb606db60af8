#include "ui/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QFocusFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "ui/LineEditAccessible.h"
#include "ui/ReportTableAccessible.h"

namespace {

const char* const kDecorativeProperty = "yotennaDecorative";
const char* const kAnnouncerProperty = "yotennaAnnouncer";

// A combo box as Qt presents it (the list, then the line edit of an editable box, as children;
// the value is the text), but named by its accessible name.
class ComboBoxAccessible : public QAccessibleWidget {
 public:
  explicit ComboBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  int childCount() const override { return box()->lineEdit() ? 2 : 1; }

  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(box()->view());
    if (index == 1 && box()->lineEdit()) {
      return QAccessible::queryAccessibleInterface(box()->lineEdit());
    }
    return nullptr;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (!child) return -1;
    if (child->object() == box()->view()) return 0;
    if (box()->lineEdit() && child->object() == box()->lineEdit()) return 1;
    return -1;
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    const QLineEdit* edit = box()->lineEdit();
    if (edit && QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size()).contains(x, y)) {
      return child(1);
    }
    return nullptr;
  }

  QString text(QAccessible::Text kind) const override {
    switch (kind) {
      case QAccessible::Name: {
        const QString name = box()->accessibleName();
        return name.isEmpty() ? value() : name;
      }
      case QAccessible::Value:
        return value();
      default:
        return QAccessibleWidget::text(kind);
    }
  }

  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

  void doAction(const QString& action) override {
    if (action != showMenuAction() && action != pressAction()) return;
    if (box()->view()->isVisible()) {
      box()->hidePopup();
    } else {
      box()->showPopup();
    }
  }

  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QComboBox* box() const { return static_cast<QComboBox*>(object()); }
  QString value() const { return box()->currentText(); }
};

// The children Qt lists for a widget, less the decorative ones.
QList<QWidget*> announcedChildren(const QWidget* parent) {
  QList<QWidget*> children;
  for (QObject* object : parent->children()) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || widget->isWindow() || isDecorative(widget)) continue;
    if (qobject_cast<QFocusFrame*>(widget) || qobject_cast<QMenu*>(widget)) continue;
    const QString name = widget->objectName();
    if (name == u"qt_rubberband" || name == u"qt_spinbox_lineedit") continue;
    children.append(widget);
  }
  return children;
}

// A dialog as Qt presents it, without the widgets that only draw.
class DialogAccessible : public QAccessibleWidget {
 public:
  explicit DialogAccessible(QWidget* dialog) : QAccessibleWidget(dialog, QAccessible::Dialog) {}

  int childCount() const override { return static_cast<int>(announcedChildren(widget()).size()); }

  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> children = announcedChildren(widget());
    if (index < 0 || index >= children.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(children[index]);
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (!child) return -1;
    const auto* widget = qobject_cast<const QWidget*>(child->object());
    return widget ? static_cast<int>(announcedChildren(this->widget()).indexOf(widget)) : -1;
  }
};

// An announcer: a notification whose name is what it shows.
class AnnouncerAccessible : public QAccessibleWidget {
 public:
  explicit AnnouncerAccessible(QLabel* label)
      : QAccessibleWidget(label, QAccessible::Notification) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name) return static_cast<QLabel*>(object())->text();
    return QAccessibleWidget::text(kind);
  }
};

// A radio button in a group box, as Qt presents it but not labelled by the box: Orca says a
// labelled button's group as well as the box it is in, so the group's name twice (「タイマーの
// 種類 panel」, then 「タイマーの種類」); the box, named, says it once.
class RadioButtonAccessible : public QAccessibleWidget {
 public:
  explicit RadioButtonAccessible(QRadioButton* button)
      : QAccessibleWidget(button, QAccessible::RadioButton) {}

  // Named by its own caption, not the box's (Qt's widgets fall back on the box's title).
  QString text(QAccessible::Text kind) const override {
    if (kind != QAccessible::Name) return QAccessibleWidget::text(kind);
    const QString name = button()->accessibleName();
    return name.isEmpty() ? withoutMnemonic(button()->text()) : name;
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.checkable = true;
    state.checked = button()->isChecked();
    return state;
  }

  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match) const override {
    auto relations = QAccessibleWidget::relations(match);
    QObject* box = button()->parentWidget();
    relations.removeIf([box](const QPair<QAccessibleInterface*, QAccessible::Relation>& relation) {
      return relation.second == QAccessible::Label && relation.first->object() == box;
    });
    return relations;
  }

  QStringList actionNames() const override { return {toggleAction()}; }
  void doAction(const QString& action) override {
    if (action == toggleAction() || action == pressAction()) button()->click();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QRadioButton* button() const { return static_cast<QRadioButton*>(object()); }
  static QString withoutMnemonic(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
      if (text[i] == u'&' && i + 1 < text.size()) ++i;
      plain += text[i];
    }
    return plain;
  }
};

QAccessibleInterface* programFactory(const QString& className, QObject* object) {
  if (className == u"QLineEdit") {
    if (auto* edit = qobject_cast<QLineEdit*>(object)) return makeLineEditAccessible(edit);
  } else if (className == u"QLabel") {
    auto* label = qobject_cast<QLabel*>(object);
    if (label && label->property(kAnnouncerProperty).toBool()) {
      return new AnnouncerAccessible(label);
    }
  } else if (className == u"QComboBox") {
    if (auto* box = qobject_cast<QComboBox*>(object)) return new ComboBoxAccessible(box);
  } else if (className == u"QTreeWidget") {
    auto* list = qobject_cast<QTreeWidget*>(object);
    if (list && list->property(kReportTableProperty).toBool()) {
      return makeReportTableAccessible(list);
    }
  } else if (className == u"QRadioButton") {
    auto* button = qobject_cast<QRadioButton*>(object);
    if (button && qobject_cast<QGroupBox*>(button->parentWidget())) {
      return new RadioButtonAccessible(button);
    }
  } else if (className == u"QDialog") {
    if (auto* dialog = qobject_cast<QDialog*>(object)) return new DialogAccessible(dialog);
  }
  return nullptr;
}

// Keeps the Tab key's stop of one group of radio buttons on its checked button.
class RadioTabStop : public QObject {
 public:
  RadioTabStop(const QList<QRadioButton*>& group, QObject* parent)
      : QObject(parent), group_(group) {
    for (QRadioButton* button : group_) button->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      auto* button = static_cast<QRadioButton*>(watched);
      if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) &&
          !button->isChecked()) {
        if (QRadioButton* checked = checkedButton()) {
          checked->setFocus(reason);
          // Qt tells of the button passed over after the checked one; tell the checked one last.
          QTimer::singleShot(0, checked, [checked] {
            if (!checked->hasFocus() || !QAccessible::isActive()) return;
            QAccessibleEvent focus(checked, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
          });
        }
      }
    } else if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool forward = key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier;
      const bool back = key->key() == Qt::Key_Backtab;
      if (forward || back) {
        // Out of the group, past all of its buttons.
        if (QWidget* next = stopBeside(forward)) {
          next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
          return true;
        }
      }
    }
    return false;
  }

 private:
  QRadioButton* checkedButton() const {
    for (QRadioButton* button : group_) {
      if (button->isChecked()) return button;
    }
    return nullptr;
  }

  bool inGroup(const QWidget* widget) const {
    return std::any_of(group_.begin(), group_.end(),
                       [widget](const QRadioButton* button) { return button == widget; });
  }

  // The first widget before or after the group in the focus chain that takes the Tab key.
  QWidget* stopBeside(bool forward) const {
    QWidget* start = forward ? static_cast<QWidget*>(group_.last()) : group_.first();
    QWidget* window = start->window();
    QWidget* widget = start;
    for (;;) {
      widget = forward ? widget->nextInFocusChain() : widget->previousInFocusChain();
      if (!widget || widget == start) return nullptr;
      if (inGroup(widget) || widget->window() != window || widget == window) continue;
      if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
          widget->isVisibleTo(window) && !widget->focusProxy()) {
        return widget;
      }
    }
  }

  QList<QRadioButton*> group_;
};

}  // namespace

void makeQuietField(QLineEdit* field) { field->setProperty(kQuietFieldProperty, true); }

void retellCurrentItem(QAbstractItemView* view) {
  QItemSelectionModel* selection = view->selectionModel();
  if (!selection) return;
  const QModelIndex current = selection->currentIndex();
  if (!current.isValid()) return;
  selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void makeOneTabStop(const QList<QRadioButton*>& group) {
  if (!group.isEmpty()) new RadioTabStop(group, group.first());
}

namespace {

// A field takes and gives up the focus without telling of its caret or selection
// (handleFieldFocusQuietly). A window that opens tells of its focus once more after a moment: Orca
// 43 may hear the focus before it has taken in the new window, and then says neither until the next
// key (an editor opened from a list was silent). A focus it already knows it does not say again. A
// list tells its row itself (makeSpokenReportList).
class OpenedWindowFocus : public QObject {
 public:
  explicit OpenedWindowFocus(QObject* parent) : QObject(parent) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (handleFieldFocusQuietly(watched, event)) return true;
    if (event->type() != QEvent::WindowActivate || !watched->isWidgetType()) return false;
    QPointer<QWidget> window = static_cast<QWidget*>(watched);
    if (!window->isWindow()) return false;
    // Told twice: a busy Orca may still be taking in the window at the first. Never while a
    // menu is open, and the second time only for the focus told the first time: a retelling
    // must not take the screen reader away from where the user has gone since.
    auto told = std::make_shared<QPointer<QWidget>>();
    for (int after : {kFocusAfterWindow, 4 * kFocusAfterWindow}) {
      QTimer::singleShot(after, this, [window, told, after] {
        QWidget* focus = QApplication::focusWidget();
        if (!window || !focus || focus->window() != window || !QAccessible::isActive()) return;
        if (QApplication::activePopupWidget() || qobject_cast<QAbstractItemView*>(focus)) return;
        if (after != kFocusAfterWindow && *told != focus) return;
        *told = focus;
        QAccessibleEvent event(focus, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
      });
    }
    return false;
  }

 private:
  static constexpr int kFocusAfterWindow = 400;
};

}  // namespace

void installAccessibleInterfaces() {
  // Qt asks the factories installed last first, so this one is asked before Qt's own.
  static const bool installed = [] {
    QAccessible::installFactory(&programFactory);
    // The application owns the filter: it goes when the application does.
    if (qApp) qApp->installEventFilter(new OpenedWindowFocus(qApp));
    return true;
  }();
  (void)installed;
}

void markDecorative(QWidget* widget) { widget->setProperty(kDecorativeProperty, true); }

bool isDecorative(const QWidget* widget) { return widget->property(kDecorativeProperty).toBool(); }

QString spokenText(const QString& text) {
  // simplified() takes U+3000, the full-width blank, for a blank as well.
  return text.simplified();
}

QString spokenClockText(const QString& clockText) {
  static const QRegularExpression seconds(QStringLiteral("(\\d\\d:\\d\\d):\\d\\d"));
  QString spoken = spokenText(clockText);
  spoken.replace(seconds, QStringLiteral("\\1"));
  return spoken;
}

QLabel* makeAnnouncer(QWidget* parent, const QString& name) {
  installAccessibleInterfaces();
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setProperty(kAnnouncerProperty, true);
  label->hide();
  return label;
}

void announce(QLabel* announcer, const QString& text) {
  // Each showing is heard, also of the same text again.
  announcer->hide();
  announcer->setText(text);
  announcer->show();
}
