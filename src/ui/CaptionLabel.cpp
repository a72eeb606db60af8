#include "ui/CaptionLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>

namespace {

// The ink of Japanese glyphs spans about one em; this much lies above the baseline.
constexpr double kAscentShare = 0.88;
constexpr double kLineFactor = 1.12;
constexpr double kSmallestPointSize = 6.0;

// Splits at the longest run of blanks (the clock puts nine between date and time).
QStringList breakAtWidestGap(const QString& text) {
  static const QRegularExpression blanks(QStringLiteral("[ \\x{3000}]+"));
  qsizetype bestStart = -1;
  qsizetype bestLength = 0;
  for (auto it = blanks.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    if (match.capturedLength() > bestLength) {
      bestStart = match.capturedStart();
      bestLength = match.capturedLength();
    }
  }
  if (bestStart <= 0) return {text};
  return {text.left(bestStart), text.mid(bestStart + bestLength)};
}

}  // namespace

CaptionLabel::CaptionLabel(QWidget* parent) : QLabel(parent) {}

CaptionLabel::Layout CaptionLabel::layoutText() const {
  Layout layout{font(), {text()}, 0};
  const QRectF box = contentsRect();
  for (;;) {
    const QFontMetricsF metrics(layout.font);
    const double em = metrics.height() / 1.45;  // Noto CJK's line height is ~1.45 em
    const double pixelSize = layout.font.pixelSize() > 0 ? layout.font.pixelSize()
                                                         : std::max(em, metrics.ascent() * 0.75);
    layout.lineStep = pixelSize * kLineFactor;
    auto fits = [&](const QStringList& lines) {
      double widest = 0;
      for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
      return widest <= box.width() &&
             lines.size() * pixelSize + (lines.size() - 1) * (layout.lineStep - pixelSize) <=
                 box.height() + 0.5;
    };
    layout.lines = {text()};
    if (fits(layout.lines)) return layout;
    if (wordWrap()) {
      layout.lines = breakAtWidestGap(text());
      if (fits(layout.lines)) return layout;
    }
    if (layout.font.pointSizeF() <= kSmallestPointSize) return layout;
    layout.font.setPointSizeF(layout.font.pointSizeF() - 0.25);
  }
}

double CaptionLabel::paintedPointSize() const { return layoutText().font.pointSizeF(); }

void CaptionLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (autoFillBackground()) painter.fillRect(rect(), palette().color(backgroundRole()));
  const Layout layout = layoutText();
  painter.setFont(layout.font);
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetricsF metrics(layout.font);
  const QRectF box = contentsRect();
  const double pixelSize = layout.lineStep / kLineFactor;
  const double blockHeight = pixelSize + (layout.lines.size() - 1) * layout.lineStep;
  double top = box.top();
  if (alignment() & Qt::AlignVCenter) top += (box.height() - blockHeight) / 2;
  for (const QString& line : layout.lines) {
    const double width = metrics.horizontalAdvance(line);
    double left = box.left();
    if (alignment() & Qt::AlignHCenter) left += (box.width() - width) / 2;
    if (alignment() & Qt::AlignRight) left += box.width() - width;
    painter.drawText(QPointF(left, top + pixelSize * kAscentShare), line);
    top += layout.lineStep;
  }
}
