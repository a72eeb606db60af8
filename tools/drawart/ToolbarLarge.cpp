#include "ToolbarLarge.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <functional>

namespace {

// The colours of the 16-pixel maps.
const QColor kGround(175, 216, 223);
const QColor kInk(36, 36, 44);
const QColor kPaper(255, 255, 255);
const QColor kLightGrey(214, 218, 224);
const QColor kGrey(138, 142, 152);
const QColor kDarkGrey(86, 90, 100);
const QColor kOrange(255, 140, 0);
const QColor kFolder(252, 212, 92);
const QColor kFolderShade(214, 158, 38);
const QColor kRed(222, 40, 40);
const QColor kBlue(40, 96, 216);
const QColor kWood(150, 92, 40);
const QColor kGlass(150, 212, 250);
const QColor kGreen(40, 168, 64);
const QColor kMagenta(210, 30, 160);
const QColor kKanji(16, 26, 96);
const QColor kTin(196, 200, 210);
const QColor kTinShade(120, 126, 140);
const QColor kLightYellow(250, 226, 96);
const QColor kBareWood(236, 196, 142);

constexpr double kGrid = 32.0;  // the drawings' own units

QPen outline(double width = 2.0) {
  QPen pen(kInk, width);
  pen.setJoinStyle(Qt::MiterJoin);
  return pen;
}

void shape(QPainter& p, const QPainterPath& path, const QColor& fill, double line = 2.0) {
  p.setBrush(fill);
  p.setPen(line > 0 ? outline(line) : QPen(Qt::NoPen));
  p.drawPath(path);
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(points)));
  path.closeSubpath();
  return path;
}

QPainterPath rect(double x1, double y1, double x2, double y2) {
  QPainterPath path;
  path.addRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)));
  return path;
}

void kanji(QPainter& p, const QRectF& box, const QString& text, double pixelSize) {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP")});
  font.setPixelSize(static_cast<int>(pixelSize));
  font.setWeight(QFont::Black);
  font.setHintingPreference(QFont::PreferNoHinting);  // the shapes scale with the grid
  QPainterPath path;
  path.addText(0, 0, font, text);
  const QRectF ink = path.boundingRect();
  p.setPen(Qt::NoPen);
  p.setBrush(kKanji);
  p.drawPath(path.translated(box.center() - ink.center()));
}

// --- the pictures, on the 32-unit grid -------------------------------------------------------

void newFile(QPainter& p) {
  shape(p, polygon({{6, 3}, {20, 3}, {27, 10}, {27, 29}, {6, 29}}), kPaper);
  shape(p, polygon({{20, 3}, {20, 10}, {27, 10}}), kLightGrey);
}

void openFile(QPainter& p) {
  // Back of the folder with its tab, then the open front flap.
  shape(p, polygon({{2, 12}, {9, 12}, {11, 14}, {22, 14}, {22, 28}, {2, 28}}), kFolderShade);
  shape(p, polygon({{8, 19}, {31, 19}, {24, 29}, {2, 29}}), kFolder);
  // The curved arrow rises out of the folder and turns down to the right.
  QPainterPath arc;
  arc.moveTo(14, 16);
  arc.cubicTo(14, 6, 18, 4, 25, 5);
  QPen pen(kOrange, 4);
  pen.setCapStyle(Qt::FlatCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  shape(p, polygon({{24, 0}, {31, 5.5}, {24, 11}}), kOrange, 0);
}

void calendarPage(QPainter& p) {
  shape(p, rect(3, 6, 29, 29), kPaper);
  shape(p, rect(3, 6, 29, 12), kRed);
  for (double x : {9.0, 23.0}) shape(p, rect(x - 1.5, 2, x + 1.5, 9), kDarkGrey, 0);
  // Days: Sunday red, Saturday blue, one marked day in orange.
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 5; ++column) {
      const double x = 6 + column * 4.5;
      const double y = 15 + row * 3.5;
      QColor colour = column == 0 ? kRed : column == 4 ? kBlue : kGrey;
      if (row == 2 && column == 2) colour = kOrange;
      shape(p, rect(x, y, x + (row == 2 && column == 2 ? 5.5 : 2.5), y + 2), colour, 0);
    }
  }
}

// An orange arrow along the top, pointing left or right.
void arrow(QPainter& p, bool right) {
  QPainterPath path =
      polygon({{1, 6}, {10, 0}, {10, 3.5}, {31, 3.5}, {31, 8.5}, {10, 8.5}, {10, 12}});
  if (right) path = QTransform(-1, 0, 0, 1, kGrid, 0).map(path);
  shape(p, path, kOrange, 0);
}

void step(QPainter& p, const QString& glyph, bool right) {
  arrow(p, right);
  kanji(p, QRectF(0, 13, kGrid, 19), glyph, 19);
}

void pickDate(QPainter& p) {
  kanji(p, QRectF(0, 0, kGrid, 18), QStringLiteral("指定"), 15);
  shape(p, polygon({{8, 21}, {24, 21}, {16, 30}}), kInk, 0);
}

void binoculars(QPainter& p) {
  for (double left : {3.0, 19.0}) {
    shape(p, rect(left + 2, 2, left + 8, 8), kGrey);                // eyepiece
    shape(p, rect(left - 1, 11, left + 11, 29), kDarkGrey);         // barrel
    shape(p, rect(left - 1, 14, left + 11, 17), kGrey);             // band
    shape(p, rect(left + 0.5, 19, left + 9.5, 27.5), kGlass, 1.5);  // lens
    shape(p, rect(left + 2.5, 20.5, left + 4, 24), kPaper, 0);      // glint
    shape(p, rect(left + 0.5, 26, left + 2.5, 27.5), kBlue, 0);
    shape(p, rect(left + 7.5, 26, left + 9.5, 27.5), kBlue, 0);
  }
  shape(p, rect(11, 6, 21, 10), kDarkGrey);  // bridge
}

void notepad(QPainter& p) {
  shape(p, rect(3, 5, 22, 29), kPaper);
  for (double x = 6; x <= 20; x += 4) {
    QPen ring(kDarkGrey, 2);
    ring.setCapStyle(Qt::RoundCap);
    p.setPen(ring);
    p.drawLine(QPointF(x, 2), QPointF(x, 7));
  }
  const double lengths[] = {14, 14, 14, 9, 12};
  for (int i = 0; i < 5; ++i) {
    shape(p, rect(6, 9.5 + i * 4, 6 + lengths[i], 11 + i * 4), kBlue, 0);
  }
  // The pencil beside the pad, point down.
  shape(p, rect(25, 3, 30, 6), kRed);
  shape(p, rect(25, 6, 30, 8), kGrey);
  shape(p, rect(25, 8, 30, 23), kLightYellow);
  shape(p, polygon({{25, 23}, {30, 23}, {27.5, 30}}), kBareWood);
  shape(p, polygon({{26.6, 27.5}, {28.4, 27.5}, {27.5, 30}}), kInk, 0);
}

void fileBrowser(QPainter& p) {
  shape(p, polygon({{1, 3}, {9, 3}, {11, 6}, {25, 6}, {25, 24}, {1, 24}}), kFolder);
  shape(p, rect(2, 7.5, 24, 9), kLightYellow, 0);
  shape(p, rect(2, 20, 15, 23), kFolderShade, 0);
  // The magnifying glass over its corner.
  QPen handle(kDarkGrey, 4);
  handle.setCapStyle(Qt::RoundCap);
  p.setPen(handle);
  p.drawLine(QPointF(25.5, 25.5), QPointF(30, 30));
  QPainterPath glass;
  glass.addEllipse(QPointF(20, 19), 7, 7);
  shape(p, glass, kGlass);
  QPen glint(kPaper, 2);
  glint.setCapStyle(Qt::RoundCap);
  p.setPen(glint);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(15.5, 14.5, 9, 9), 100 * 16, 60 * 16);
}

void paint(QPainter& p) {
  struct Brush {
    QPointF tip;
    QPointF foot;
    QColor paint;
  };
  const Brush brushes[] = {
      {{5, 4}, {10, 17}, kRed}, {{16, 3}, {16, 17}, kGreen}, {{27, 4}, {22, 17}, kBlue}};
  for (const Brush& brush : brushes) {
    QPen handle(kWood, 2.5);
    handle.setCapStyle(Qt::FlatCap);
    p.setPen(handle);
    p.drawLine(brush.tip, brush.foot);
    QPainterPath bristles;
    bristles.addEllipse(brush.tip, 2.6, 3.2);
    shape(p, bristles, brush.paint, 1);
  }
  // The pot, its paint showing at the rim.
  shape(p, polygon({{4, 19}, {28, 19}, {26, 31}, {6, 31}}), kTin);
  shape(p, polygon({{21, 20}, {27, 20}, {25.5, 30}, {20, 30}}), kTinShade, 0);
  shape(p, rect(6, 21, 7.5, 28), kPaper, 0);
  shape(p, rect(2, 16, 30, 20), kMagenta);
}

}  // namespace

QImage drawLargeToolbarIcon(int picture, int pixels) {
  const std::function<void(QPainter&)> drawings[] = {
      newFile,
      openFile,
      calendarPage,
      [](QPainter& p) { step(p, QStringLiteral("年"), false); },
      [](QPainter& p) { step(p, QStringLiteral("月"), false); },
      [](QPainter& p) { step(p, QStringLiteral("日"), false); },
      pickDate,
      [](QPainter& p) { step(p, QStringLiteral("日"), true); },
      [](QPainter& p) { step(p, QStringLiteral("月"), true); },
      [](QPainter& p) { step(p, QStringLiteral("年"), true); },
      binoculars,
      notepad,
      fileBrowser,
      paint,
  };
  if (picture < 1 || picture > static_cast<int>(std::size(drawings))) return {};
  QImage image(pixels, pixels, QImage::Format_RGB888);
  image.fill(kGround);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.scale(pixels / kGrid, pixels / kGrid);
  drawings[picture - 1](painter);
  painter.end();
  return image;
}
