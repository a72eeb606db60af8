#pragma once

#include <QProxyStyle>
#include <QStyledItemDelegate>

// Rows as tall as the glyphs of the list's font: the em square and one pixel for the soft edge
// of the strokes. Japanese glyphs fill about one em, but Noto Sans CJK's line height is about
// 1.45 em, so rows of the font's line height would not let two entries fit in a day cell of
// the month grid the way they did with the design's font (whose line height is one em).
// A row never gets wider than the view, so a long text ends in "…" instead of bringing up a
// horizontal scroll bar that would cover the second row.
class GlyphHeightRows : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  static int rowHeight(const QFont& font);
};

// Cells whose text does not fit end in "…" on the given side (Qt::ElideLeft keeps a path's file
// name); hovering over a shortened cell shows its whole text. Over a cell shown in full the
// view's own tooltip stays.
class ElidedCells : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit ElidedCells(Qt::TextElideMode mode, QObject* parent = nullptr);

  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  // Whether the text of the cell is wider than the room the style gives it.
  bool isShortened(const QStyleOptionViewItem& option, const QModelIndex& index) const;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

 private:
  Qt::TextElideMode mode_;
};

// For a list's header: a caption wider than its column ends in "…" instead of being cut off
// in the middle of a character (QHeaderView's own eliding does not reach Qt 6.4's styles).
class ElidedCaptions : public QProxyStyle {
  Q_OBJECT

 public:
  using QProxyStyle::QProxyStyle;

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
};
