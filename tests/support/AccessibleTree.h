#pragma once
// Walks a window's accessible tree, as a screen reader is given it, and lists what a screen
// reader user could not tell apart or could not tell at all.

#include <QAccessible>
#include <QAction>
#include <QHash>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QWidget>

namespace accessibletree {

// The roles of things a user acts on; each needs a name.
inline bool isInteractive(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonDropGrid:
    case QAccessible::Slider:
    case QAccessible::ScrollBar:
    case QAccessible::Dial:
    case QAccessible::Link:
    case QAccessible::PageTab:
    case QAccessible::HotkeyField:
      return true;
    default:
      return false;
  }
}

inline QString roleName(QAccessible::Role role) {
  const char* key = QMetaEnum::fromType<QAccessible::Role>().valueToKey(role);
  return key ? QString::fromLatin1(key) : QString::number(role);
}

// A name that carries blanks to push a caption into place on the screen: blanks at its ends or
// two in a row (one blank between two words is fine).
inline bool isPadded(const QString& name) {
  static const QRegularExpression run(QStringLiteral("[\\s\\x{3000}]{2}"));
  return name.trimmed() != name || run.match(name).hasMatch();
}

class Walker {
 public:
  QStringList problems;
  int checked = 0;      // controls looked at, so that a test can tell the walk reached them
  QStringList outline;  // every control walked, indented by its depth

  // A window of the walk: its name for the report and a key of its own (two pop-ups may have
  // the same name).
  struct Window {
    QString name;
    QString key;
  };

  void walk(QAccessibleInterface* node, const Window& window, int depth = 0) {
    if (!node || !node->isValid()) return;
    if (visited_.contains(QAccessible::uniqueId(node))) return;
    visited_.insert(QAccessible::uniqueId(node));

    QObject* object = node->object();
    auto* widget = qobject_cast<QWidget*>(object);
    auto* action = qobject_cast<QAction*>(object);
    // Rows and cells of lists are the data, not controls: they are not walked.
    if (!widget && !action) return;
    Window group = window;
    if (widget) {
      // A hidden control is not in the screen reader's view; a pop-up (a menu, the list of a
      // combo box) is a window of its own, checked when it is walked to.
      if (!widget->isWindow() && !widget->isVisibleTo(widget->window())) return;
      if (widget->isWindow()) {
        group.name = label(node, object);
        group.key = QString::number(reinterpret_cast<quintptr>(widget), 16);
      }
    }
    check(node, object, group);
    outline << QString(depth * 2, u' ') + roleName(node->role()) + u' ' + object->objectName() +
                   QStringLiteral(" 「%1」 「%2」")
                       .arg(node->text(QAccessible::Name), node->text(QAccessible::Value));
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i), group, depth + 1);
  }

 private:
  static QString label(QAccessibleInterface* node, QObject* object) {
    const QString name = object->objectName();
    return name.isEmpty() ? node->text(QAccessible::Name) : name;
  }

  void check(QAccessibleInterface* node, QObject* object, const Window& window) {
    ++checked;
    const QAccessible::Role role = node->role();
    const QString name = node->text(QAccessible::Name);
    const QString where =
        QStringLiteral("%1: %2 %3").arg(window.name, roleName(role), object->objectName());
    if (isInteractive(role) && name.trimmed().isEmpty()) {
      problems << where + QStringLiteral(" has no name");
      return;
    }
    if (isPadded(name)) {
      problems << where + QStringLiteral(" has blanks in its name 「%1」").arg(name);
    }
    const QString value = node->text(QAccessible::Value);
    if (role == QAccessible::ComboBox && !value.isEmpty() && name == value) {
      problems << where + QStringLiteral(" is named by its value 「%1」").arg(value);
    }
    if (name.isEmpty()) return;
    const QString key = QStringList{window.key, roleName(role), name}.join(u'\n');
    if (const auto seen = seen_.constFind(key); seen != seen_.constEnd()) {
      problems << where + QStringLiteral(" has the name 「%1」 of %2").arg(name, seen.value());
    } else {
      seen_.insert(key, object->objectName());
    }
  }

  QSet<QAccessible::Id> visited_;
  QHash<QString, QString> seen_;  // window, role and name -> the first control with them
};

// The problems of one window (and its menus and pop-up lists), one line each. With
// YOTENNA_ACCESSIBLE_TREE set in the environment, the tree walked is printed as well.
inline QStringList problems(QWidget* window, int* checked = nullptr) {
  Walker walker;
  walker.walk(QAccessible::queryAccessibleInterface(window), {window->objectName(), QString()});
  if (checked) *checked = walker.checked;
  if (qEnvironmentVariableIsSet("YOTENNA_ACCESSIBLE_TREE"))
    qInfo().noquote() << walker.outline.join(u'\n');
  return walker.problems;
}

}  // namespace accessibletree
