#include "editor/widgets/EditorFields.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

#include "editor/EditorInput.h"
#include "ui/Contrast.h"
#include "ui/UiSupport.h"

QStringList numberItems(int first, int last) {
  QStringList items;
  for (int value = first; value <= last; ++value) items << editorinput::twoDigits(value);
  return items;
}

void paintBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  // Buttons fill with their own role, not the window's.
  palette.setColor(widget->backgroundRole(), colour);
  // The text on the fixed colour in a colour that reads on it, whatever the palette.
  const QColor text = readableTextOn(colour);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText}) {
    palette.setColor(role, text);
  }
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

int typedCode(const QKeyEvent& key) {
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return 13;
  if (key.key() == Qt::Key_Backspace) return 8;
  const QString text = key.text();
  if (text.isEmpty()) return -1;
  const char16_t first = text.front().unicode();
  if (first < 0x20 || first == 0x7f) return -1;
  return first;
}

void limitTyping(QLineEdit* edit, int limit) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, limit](const QString& text) {
    const qsizetype excess = text.size() - limit;
    if (excess <= 0) return;
    const int end = edit->cursorPosition();
    const int start = std::max(0, end - static_cast<int>(excess));
    QString kept = text;
    kept.remove(start, end - start);
    if (kept.size() > limit) kept.truncate(limit);
    edit->setText(kept);
    edit->setCursorPosition(std::min(start, static_cast<int>(kept.size())));
  });
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, double left, double top,
                  const QString& accessibleName) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  if (!accessibleName.isEmpty()) label->setAccessibleName(accessibleName);
  label->setFont(japaneseFont(12, true));
  label->adjustSize();
  label->move(twips(left), twips(top));
  return label;
}

QComboBox* digitCombo(QWidget* parent, const char* name, QRect rect, const QStringList& items,
                      const QString& tip, const QString& accessibleName) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setGeometry(rect);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  // Completion would type characters the keyboard filter never saw.
  box->setCompleter(nullptr);
  // Digits only: the input method stays off, so every character arrives as a key.
  box->setAttribute(Qt::WA_InputMethodEnabled, false);
  box->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
  box->addItems(items);
  box->setCurrentIndex(-1);
  box->setToolTip(tip);
  setAccessible(box, accessibleName);
  return box;
}

QPushButton* rowButton(QWidget* parent, const char* name, const QString& caption, QRect rect,
                       const QString& tip, const QString& accessibleName) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(rect);
  // Enter clicks the button that has the focus and no other (see EditorWindow::keyPressEvent).
  button->setAutoDefault(false);
  button->setToolTip(tip);
  setAccessible(button, accessibleName);
  return button;
}

void HalfButtons::enable(bool canAdd, bool canRemove, bool canUpdate) {
  add->setEnabled(canAdd);
  remove->setEnabled(canRemove);
  update->setEnabled(canUpdate);
  reset->setEnabled(true);
}

HalfButtons makeHalfButtons(QWidget* parent, int firstNumber, double left, const QString& half,
                            const std::array<QString, 4>& tips) {
  const std::array<QString, 4> captions{QStringLiteral("追加"), QStringLiteral("削除"),
                                        QStringLiteral("更新"), QStringLiteral("項目の初期化")};
  const std::array<QString, 4> names{
      half + QStringLiteral("を追加"), half + QStringLiteral("を削除"),
      half + QStringLiteral("を更新"), half + QStringLiteral("の項目を初期化")};
  const std::array<double, 4> offsets{0, 1320, 2640, 4080};
  const std::array<double, 4> widths{1335, 1335, 1455, 1335};
  std::array<QPushButton*, 4> made{};
  for (size_t i = 0; i < made.size(); ++i) {
    const QByteArray name = "Command" + QByteArray::number(firstNumber + static_cast<int>(i));
    made[i] = rowButton(parent, name.constData(), captions[i],
                        twipsRect(left + offsets[i], 3000, widths[i], 495), tips[i], names[i]);
  }
  return HalfButtons{made[0], made[1], made[2], made[3]};
}

namespace {

// Shrinks a control's font, a quarter point at a time, until text fits in room pixels.
void shrinkFontToFit(QWidget* widget, const QString& text, int room) {
  QFont font = widget->font();
  while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(text) > room) {
    font.setPointSizeF(font.pointSizeF() - 0.25);
  }
  widget->setFont(font);
}

}  // namespace

void fitButtonCaption(QPushButton* button) {
  shrinkFontToFit(button, button->text(), button->width() - twips(120));
}

// The widest number a combo box holds must show whole beside its arrow.
void fitDigits(QComboBox* box, int digits) {
  QStyleOptionComboBox option;
  option.initFrom(box);
  option.editable = true;
  option.frame = true;
  const QRect field =
      box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
  // The line edit keeps a few pixels of margin and its cursor.
  shrinkFontToFit(box, QString(digits, u'0'), field.width() - 6);
}

void setTextOnPanels(QWidget* editor) {
  // PanelHeading has no meta-object of its own: findChildren would take every label for one.
  const QList<QLabel*> labels = editor->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
  QList<const PanelHeading*> panels;
  for (const QLabel* label : labels) {
    if (auto* panel = dynamic_cast<const PanelHeading*>(label)) panels.append(panel);
  }
  for (QLabel* label : labels) {
    if (dynamic_cast<PanelHeading*>(label) || label->autoFillBackground()) continue;
    for (const PanelHeading* panel : panels) {
      if (!panel->geometry().contains(label->geometry().center())) continue;
      QPalette palette = label->palette();
      palette.setColor(QPalette::WindowText,
                       readableTextOn(panel->palette().color(panel->backgroundRole())));
      label->setPalette(palette);
    }
  }
}

PanelHeading::PanelHeading(const QString& text, const QColor& colour, QWidget* parent)
    : QLabel(text, parent) {
  setFont(japaneseFont(36, true));
  setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  paintBackground(this, colour);
  const QFontMetrics metrics(font());
  blankAbove_ = std::max(0, metrics.ascent() + metrics.tightBoundingRect(text).top() - 2);
}

void PanelHeading::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(rect().translated(0, -blankAbove_), int(alignment()), text());
}
