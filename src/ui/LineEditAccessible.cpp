#include "ui/LineEditAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>

namespace {

const char* const kChangingFocusProperty = "yotennaChangingFocus";

// A one-line text field. Qt's own tells the text's attributes in runs that end one character
// short, and Orca 43 splits the line by them, so 燃えるゴミ was read 燃えるゴ: here the whole
// text is one run. The rest is what Qt tells.
class LineEditAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
 public:
  explicit LineEditAccessible(QLineEdit* edit)
      : QAccessibleWidget(edit, QAccessible::EditableText) {
    addControllingSignal(QStringLiteral("textChanged(const QString&)"));
    addControllingSignal(QStringLiteral("returnPressed()"));
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface) {
      return static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  // No event of a quiet field is told, nor of a field taking or giving up the focus (Qt asks
  // this of every event before it sends it).
  bool isValid() const override {
    return QAccessibleWidget::isValid() && !edit()->property(kQuietFieldProperty).toBool() &&
           !edit()->property(kChangingFocusProperty).toBool();
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return shown();
    QString text = QAccessibleWidget::text(kind);
    if (kind == QAccessible::Name && text.isEmpty()) text = edit()->placeholderText();
    return text;
  }

  void setText(QAccessible::Text kind, const QString& text) override {
    if (kind != QAccessible::Value) {
      QAccessibleWidget::setText(kind, text);
    } else if (!edit()->isReadOnly()) {
      edit()->setText(text);
    }
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = edit()->isReadOnly();
    state.editable = !edit()->isReadOnly();
    state.selectableText = true;
    state.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
    return state;
  }

  // QAccessibleTextInterface
  void selection(int index, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
    if (index != 0 || selectionCount() == 0) return;
    *startOffset = edit()->selectionStart();
    *endOffset = edit()->selectionEnd();
  }
  int selectionCount() const override { return edit()->hasSelectedText() && !inComboBox() ? 1 : 0; }
  void addSelection(int startOffset, int endOffset) override {
    setSelection(0, startOffset, endOffset);
  }
  void removeSelection(int index) override {
    if (index == 0) edit()->deselect();
  }
  void setSelection(int, int startOffset, int endOffset) override {
    edit()->setSelection(startOffset, endOffset - startOffset);
  }
  int cursorPosition() const override { return edit()->cursorPosition(); }
  void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
  QString text(int startOffset, int endOffset) const override {
    const QString all = shown();
    if (startOffset > endOffset || startOffset < 0 || endOffset > all.size()) return {};
    return all.mid(startOffset, endOffset - startOffset);
  }
  int characterCount() const override { return static_cast<int>(shown().size()); }
  QRect characterRect(int offset) const override {
    const QString all = shown();
    if (offset < 0 || offset >= all.size()) return {};
    const QFontMetrics metrics(edit()->font());
    const QRect cursor = edit()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    // The caret's rectangle places the line; the characters are measured from the caret.
    const int caretX = cursor.center().x();
    const int x = caretX + metrics.horizontalAdvance(all.left(offset)) -
                  metrics.horizontalAdvance(all.left(edit()->cursorPosition()));
    const QRect local(x, cursor.top(), metrics.horizontalAdvance(all.at(offset)), cursor.height());
    return QRect(edit()->mapToGlobal(local.topLeft()), local.size());
  }
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint local = edit()->mapFromGlobal(point);
    if (!edit()->rect().contains(local)) return -1;
    return edit()->cursorPositionAt(local);
  }
  void scrollToSubstring(int startIndex, int) override { edit()->setCursorPosition(startIndex); }
  QString attributes(int offset, int* startOffset, int* endOffset) const override {
    const int count = characterCount();
    if (offset < 0 || offset > count) {
      *startOffset = *endOffset = -1;
      return {};
    }
    *startOffset = 0;
    *endOffset = count;
    return {};
  }

  // QAccessibleEditableTextInterface
  void deleteText(int startOffset, int endOffset) override {
    if (edit()->isReadOnly()) return;
    edit()->setSelection(startOffset, endOffset - startOffset);
    edit()->del();
  }
  void insertText(int offset, const QString& text) override {
    if (edit()->isReadOnly()) return;
    edit()->setCursorPosition(offset);
    edit()->insert(text);
  }
  void replaceText(int startOffset, int endOffset, const QString& text) override {
    if (edit()->isReadOnly()) return;
    edit()->setSelection(startOffset, endOffset - startOffset);
    edit()->insert(text);
  }

 private:
  QLineEdit* edit() const { return static_cast<QLineEdit*>(object()); }
  // The field of an editable combo box keeps its selection to itself: Qt selects the whole
  // value as the box takes the focus and tells so before the box's focus, and Orca said each
  // value twice ("12 selected", then the box with 12). The box tells its value.
  bool inComboBox() const {
    const auto* box = qobject_cast<const QComboBox*>(edit()->parentWidget());
    return box && box->lineEdit() == edit();
  }
  // What the field shows: a password field never tells its text.
  QString shown() const {
    return edit()->echoMode() == QLineEdit::Normal ? edit()->text() : edit()->displayText();
  }
};

}  // namespace

QAccessibleInterface* makeLineEditAccessible(QLineEdit* edit) {
  return new LineEditAccessible(edit);
}

bool handleFieldFocusQuietly(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) return false;
  auto* field = qobject_cast<QLineEdit*>(watched);
  if (!field || field->property(kChangingFocusProperty).toBool()) return false;
  field->setProperty(kChangingFocusProperty, true);
  QCoreApplication::sendEvent(field, event);
  field->setProperty(kChangingFocusProperty, false);
  return true;
}
