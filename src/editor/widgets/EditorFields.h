#pragma once
// The pieces the record editor's two halves are built from: labels, number boxes, the coloured
// panels, and the fitting of captions into the sizes the layout gives them.

#include <QColor>
#include <QLabel>
#include <QRect>
#include <QStringList>
#include <array>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

inline const QColor kScheduleColour(192, 255, 192);
inline const QColor kTimerColour(192, 192, 255);

inline constexpr int kSubjectLimit = 20;
inline constexpr int kContentLimit = 50;
inline constexpr int kTitleLimit = 20;

// "00" to "nn" for a number list.
QStringList numberItems(int first, int last);

void paintBackground(QWidget* widget, const QColor& colour);

// A typed character as the keyboard filter sees it: Enter 13, Backspace 8, a printable
// character its code; -1 for keys that type nothing (arrows, Tab, Delete, shortcuts).
int typedCode(const QKeyEvent& key);

// A one-line box keeps what fits when more is typed or pasted; a text set by the program (a
// stored record) is left whole so that it still matches the file.
void limitTyping(QLineEdit* edit, int limit);

// A caption beside a field, placed by its top-left corner. Both halves have the same captions
// (件名, 年, 月, 日), so a screen reader is told the caption with its half.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, double left, double top,
                  const QString& accessibleName = QString());

// An editable combo box for a number: a list to choose from, digits typed through the filter.
QComboBox* digitCombo(QWidget* parent, const char* name, QRect rect, const QStringList& items,
                      const QString& tip, const QString& accessibleName);

// A button of the bottom row; Enter clicks the button that has the focus and no other. Both
// halves have the same captions, so a screen reader is told what it does for which half.
QPushButton* rowButton(QWidget* parent, const char* name, const QString& caption, QRect rect,
                       const QString& tip, const QString& accessibleName);

// The four buttons of one half along the bottom row.
struct HalfButtons {
  QPushButton* add = nullptr;     // 追加
  QPushButton* remove = nullptr;  // 削除
  QPushButton* update = nullptr;  // 更新
  QPushButton* reset = nullptr;   // 項目の初期化, always enabled

  void enable(bool canAdd, bool canRemove, bool canUpdate);
};

// Command<firstNumber> to Command<firstNumber + 3>, the first at left twips; tips in the
// buttons' order. A screen reader is told each with its half ("予定を追加", "タイマーの項目を
// 初期化"): both halves have the same captions.
HalfButtons makeHalfButtons(QWidget* parent, int firstNumber, double left, const QString& half,
                            const std::array<QString, 4>& tips);

// The layout was drawn for a narrower font than some systems have: these shrink a control's
// font until its text shows whole instead of clipping the ends.
void fitButtonCaption(QPushButton* button);
void fitDigits(QComboBox* box, int digits);

// The labels lying over a PanelHeading of the editor get a text colour that reads on the panel's
// fixed colour, whatever the palette's text colour is.
void setTextOnPanels(QWidget* editor);

// A coloured panel with its heading at the top. The blank the font keeps above its glyphs is
// left out, so that a tall font's glyphs still end above the fields lying over the panel.
class PanelHeading : public QLabel {
 public:
  PanelHeading(const QString& text, const QColor& colour, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int blankAbove_ = 0;
};
