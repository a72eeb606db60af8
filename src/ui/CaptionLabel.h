#pragma once

#include <QLabel>

// A label that keeps its text inside its box. The design's boxes are sized for fonts with a
// tight line height; Japanese fonts such as Noto Sans CJK leave more room above and below the
// glyphs, so a plain QLabel of the design's height would cut them off. This label lays the
// lines out by the glyphs' own height, breaks a line at its widest run of blanks when it is
// too wide, and only when that still does not fit shrinks the font until it does.
class CaptionLabel : public QLabel {
  Q_OBJECT

 public:
  explicit CaptionLabel(QWidget* parent = nullptr);

  // The point size the text is painted in, after any shrinking (for tests).
  double paintedPointSize() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Layout {
    QFont font;
    QStringList lines;
    double lineStep = 0;
  };
  Layout layoutText() const;
};
