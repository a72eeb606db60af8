// The application icon: the red alarm clock of the start-up picture in front of a calendar
// page with its red month band.
//
// Each size is drawn on its own, not scaled from a larger picture. 16 px is set pixel by
// pixel; from 22 px on the lengths are worked out for the size, outlines get whole-pixel widths
// on whole or half pixels so they stay crisp, and details that would only blur are left out of
// the small sizes (the calendar page below 32 px, the tick marks below 48, the alarm hand and
// the hour ticks below 96).

#include "AppIcon.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

// Outlines and inks shared with the start-up picture.
const QColor kCaseLight(255, 120, 100);
const QColor kCaseRed(226, 58, 52);
const QColor kCaseDark(170, 32, 36);
const QColor kCaseOutline(120, 20, 24);
const QColor kGoldLight(255, 236, 140);
const QColor kGold(246, 196, 60);
const QColor kGoldDark(198, 134, 24);
const QColor kGoldOutline(130, 84, 12);
const QColor kDialInk(30, 44, 90);
const QColor kAlarmHand(255, 120, 0);
const QColor kPaperEdge(150, 160, 172);
const QColor kBandRed(214, 62, 56);

// Rounds to the nearest pixel centre (x.5) or pixel edge, as a line of that width needs.
qreal snap(qreal value, qreal lineWidth) {
  const int width = static_cast<int>(std::lround(lineWidth));
  return width % 2 == 1 ? std::floor(value) + 0.5 : std::round(value);
}

QPointF polar(QPointF centre, qreal radius, qreal clockDegrees) {
  const qreal rad = clockDegrees * std::numbers::pi / 180.0;
  return {centre.x() + radius * std::sin(rad), centre.y() - radius * std::cos(rad)};
}

// The calendar page, top left behind the clock.
void drawCalendarPage(QPainter& p, int size) {
  const qreal s = size;
  const qreal line = std::max<qreal>(1, std::round(s / 48));
  const qreal left = snap(s * 0.05, line);
  const qreal top = snap(s * 0.10, line);
  const qreal right = snap(s * 0.74, line);
  const qreal bottom = snap(s * 0.80, line);
  const QRectF page(QPointF(left, top), QPointF(right, bottom));
  const qreal radius = std::max<qreal>(1.5, s * 0.05);

  p.setPen(QPen(kPaperEdge, line));
  p.setBrush(Qt::white);
  p.drawRoundedRect(page, radius, radius);

  // The month band.
  const qreal bandHeight = std::round(page.height() * 0.26);
  QPainterPath band;
  band.addRoundedRect(page, radius, radius);
  QPainterPath cut;
  cut.addRect(QRectF(page.left(), page.top(), page.width(), bandHeight));
  p.setPen(Qt::NoPen);
  p.setBrush(kBandRed);
  p.drawPath(band.intersected(cut));

  // The rings of the binding, from 32 px on.
  const int rings = size >= 96 ? 5 : 3;
  const qreal ringWidth = std::max<qreal>(2, std::round(s / 40));
  const qreal ringHeight = std::round(s * 0.09);
  for (int i = 0; i < rings; ++i) {
    const qreal x = std::round(page.left() + page.width() * (i + 1) / (rings + 1) - ringWidth / 2);
    p.setBrush(QColor(80, 86, 98));
    p.drawRoundedRect(QRectF(x, page.top() - ringHeight / 2, ringWidth, ringHeight), ringWidth / 2,
                      ringWidth / 2);
  }

  // Day cells as a grid of small squares; Sundays red.
  const qreal gridTop = page.top() + bandHeight + std::round(s * 0.05);
  const int columns = size >= 96 ? 7 : 4;
  const int rows = size >= 96 ? 5 : 3;
  const qreal cell = std::floor((page.width() - 2 * s * 0.06) / columns);
  const qreal mark = std::max<qreal>(2, std::round(cell * 0.55));
  const qreal gridLeft = std::round(page.left() + (page.width() - cell * columns) / 2);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const qreal x = gridLeft + c * cell + std::round((cell - mark) / 2);
      const qreal y = gridTop + r * std::round(cell * 0.85);
      if (y + mark > page.bottom() - line * 2) continue;
      p.setBrush(c == 0 ? QColor(224, 80, 80) : QColor(176, 184, 196));
      p.drawRect(QRectF(x, y, mark, mark));
    }
  }
}

void drawBell(QPainter& p, QPointF centre, qreal caseRadius, qreal angle, qreal bellRadius,
              qreal line) {
  p.save();
  p.translate(centre);
  p.rotate(angle);
  p.translate(0, -caseRadius - bellRadius * 0.15);
  QPainterPath dome;
  dome.moveTo(-bellRadius, 0);
  dome.cubicTo(-bellRadius, -bellRadius * 1.25, bellRadius, -bellRadius * 1.25, bellRadius, 0);
  dome.closeSubpath();
  QLinearGradient gold(-bellRadius, -bellRadius, bellRadius, 0);
  gold.setColorAt(0.0, kGoldLight);
  gold.setColorAt(0.5, kGold);
  gold.setColorAt(1.0, kGoldDark);
  p.setPen(QPen(kGoldOutline, line));
  p.setBrush(gold);
  p.drawPath(dome);
  p.restore();
}

void drawClock(QPainter& p, int size, bool withPage) {
  const qreal s = size;
  const qreal line = std::max<qreal>(1, std::round(s / 32));
  // Alone, the clock fills the square; with the page behind it, it sits bottom right.
  const qreal radius = std::round(withPage ? s * 0.33 : s * 0.40);
  const QPointF centre(snap(withPage ? s * 0.60 : s * 0.5, line),
                       snap(withPage ? s * 0.60 : s * 0.56, line));

  // Legs.
  QPen leg(kDialInk, std::max<qreal>(1.5, std::round(s / 20)));
  leg.setCapStyle(Qt::RoundCap);
  p.setPen(leg);
  const qreal foot = std::min(s - leg.widthF() / 2, centre.y() + radius * 1.12);
  p.drawLine(polar(centre, radius * 0.8, 215), QPointF(centre.x() - radius * 0.72, foot));
  p.drawLine(polar(centre, radius * 0.8, 145), QPointF(centre.x() + radius * 0.72, foot));

  // Bells.
  const qreal bellRadius = std::round(radius * 0.42);
  drawBell(p, centre, radius, -42, bellRadius, line);
  drawBell(p, centre, radius, 42, bellRadius, line);

  // Case.
  QRadialGradient body(centre + QPointF(-radius * 0.35, -radius * 0.35), radius * 1.5);
  body.setColorAt(0.0, kCaseLight);
  body.setColorAt(0.6, kCaseRed);
  body.setColorAt(1.0, kCaseDark);
  p.setPen(QPen(kCaseOutline, line));
  p.setBrush(body);
  p.drawEllipse(centre, radius, radius);

  // Dial.
  const qreal rim = std::max<qreal>(2, std::round(radius * 0.2));
  const qreal face = radius - rim;
  p.setPen(size >= 48 ? QPen(kCaseOutline, std::max<qreal>(1, line / 2)) : Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(centre, face, face);

  // Ticks: the quarters from 48 px on, every hour from 96 px on.
  if (size >= 48) {
    for (int hour = 0; hour < 12; ++hour) {
      const bool quarter = hour % 3 == 0;
      if (!quarter && size < 96) continue;
      QPen tick(kDialInk,
                quarter ? std::max<qreal>(2, std::round(s / 64)) : std::max<qreal>(1, s / 128));
      tick.setCapStyle(Qt::RoundCap);
      p.setPen(tick);
      const qreal inner = face * (quarter ? 0.74 : 0.82);
      p.drawLine(polar(centre, face * 0.92, hour * 30.0), polar(centre, inner, hour * 30.0));
    }
  }

  // Hands at ten past ten, and from 96 px the alarm hand set for seven.
  const auto hand = [&](qreal angle, qreal length, qreal width, const QColor& colour) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(centre, polar(centre, length, angle));
  };
  if (size >= 96) hand(210, face * 0.62, std::max<qreal>(2, s / 96), kAlarmHand);
  const qreal handWidth = std::max<qreal>(1.5, std::round(s / 22));
  hand(300, face * 0.55, handWidth, kDialInk);
  hand(60, face * 0.78, std::max<qreal>(1.2, handWidth * 0.7), kDialInk);
  if (size >= 32) {
    p.setPen(Qt::NoPen);
    p.setBrush(kDialInk);
    p.drawEllipse(centre, handWidth * 0.8, handWidth * 0.8);
  }

  // A gleam on the glass from 48 px on.
  if (size >= 48) {
    QPen glare(QColor(255, 255, 255, 150), std::max<qreal>(2, std::round(s / 40)));
    glare.setCapStyle(Qt::RoundCap);
    p.setPen(glare);
    p.setBrush(Qt::NoBrush);
    const qreal r = face * 0.8;
    p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 115 * 16, 40 * 16);
  }
}

// The 16 px icon, one character a pixel: the clock with its bells, hammer, hands at three
// o'clock (a clear corner at this size) and legs.
// clang-format off
const std::array<const char*, 16> kIcon16 = {
    ".OOO........OOO.",
    "OyyYO..nn..OYyyO",
    "OyYYYOKKKKOYYYyO",
    ".OOOKKrrRRKKOOO.",
    "...KrrWNWWRRK...",
    "...KrWWNWWWRK...",
    "..KRWWWNWWWWRK..",
    "..KRWWWNNNNWRK..",
    "..KRWWWWWWWWRK..",
    "..KRWWWWWWWWDK..",
    "...KRWWWWWWDK...",
    "...KRRWWWWDDK...",
    "....KKRRDDKK....",
    "....n.KKKK.n....",
    "...n........n...",
    "..nn........nn..",
};
// clang-format on

QImage pixelIcon16() {
  QImage img(16, 16, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      QColor colour;
      switch (kIcon16[static_cast<std::size_t>(y)][x]) {
        case 'K':
          colour = kCaseOutline;
          break;
        case 'R':
          colour = kCaseRed;
          break;
        case 'r':
          colour = kCaseLight;
          break;
        case 'D':
          colour = kCaseDark;
          break;
        case 'W':
          colour = Qt::white;
          break;
        case 'N':
          colour = kDialInk;
          break;
        case 'n':
          colour = QColor(70, 72, 84);
          break;
        case 'O':
          colour = kGoldOutline;
          break;
        case 'Y':
          colour = kGold;
          break;
        case 'y':
          colour = kGoldLight;
          break;
        default:
          continue;
      }
      img.setPixelColor(x, y, colour);
    }
  }
  return img;
}

}  // namespace

const std::vector<int>& appIconSizes() {
  static const std::vector<int> sizes{16, 22, 24, 32, 48, 64, 96, 128, 256};
  return sizes;
}

QImage renderAppIcon(int size) {
  if (size == 16) return pixelIcon16();
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const bool withPage = size >= 32;
  if (withPage) drawCalendarPage(p, size);
  drawClock(p, size, withPage);
  p.end();
  return img.convertToFormat(QImage::Format_ARGB32);
}

bool saveAppIcons(const QString& folder) {
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
    return false;
  }
  bool ok = true;
  for (const int size : appIconSizes()) {
    const QString path = QDir(folder).filePath(QStringLiteral("yotenna-%1.png").arg(size));
    const QImage icon = renderAppIcon(size);
    QImage back;
    if (!icon.save(path, "PNG") || !back.load(path) || back.size() != QSize(size, size) ||
        !back.hasAlphaChannel()) {
      std::fprintf(stderr, "%s: cannot write\n", qPrintable(path));
      ok = false;
    }
  }
  return ok;
}

QImage appIconSheet() {
  // Each size at its own size on a light and a dark ground, then magnified four times (up to
  // 64 px) without smoothing, so that every pixel can be judged.
  constexpr int gap = 16;
  const std::vector<int>& sizes = appIconSizes();
  int width = gap;
  int zoomWidth = gap;
  for (const int size : sizes) {
    width += size + gap;
    if (size <= 64) zoomWidth += 4 * size + gap;
  }
  width = std::max(width, zoomWidth);
  const int height = gap + 256 + gap + 256 + gap + 4 * 64 + gap;
  QImage sheet(width, height, QImage::Format_RGB32);
  sheet.fill(QColor(236, 240, 244));
  QPainter p(&sheet);
  p.fillRect(QRect(0, gap + 256 + gap / 2, width, 256 + gap), QColor(48, 52, 60));
  int x = gap;
  int zoomX = gap;
  for (const int size : sizes) {
    const QImage icon = renderAppIcon(size);
    p.drawImage(QPoint(x, gap + 256 - size), icon);
    p.drawImage(QPoint(x, gap + 256 + gap + 256 - size), icon);
    if (size <= 64) {
      p.drawImage(QRect(zoomX, height - gap - 4 * size, 4 * size, 4 * size), icon);
      zoomX += 4 * size + gap;
    }
    x += size + gap;
  }
  p.end();
  return sheet;
}
