// drawart: renders Yotenna's artwork (start-up picture, toolbar icons, application icon).
//
// Everything is drawn here with QPainter; nothing is loaded from disk.
// Usage:
//   drawart <output-dir> [--sheet <preview.png>] [--icon-sheet <preview.png>]
//
// Writes <output-dir>/startup.png (420 x 334) and startup@2x.png (840 x 668),
// <output-dir>/toolbar/01.png .. 14.png (16 x 16, hand-set pixel maps) and, for high-density
// screens, toolbar/01@1.5x.png .. (24 x 24) and toolbar/01@2x.png .. (32 x 32) drawn as vector
// shapes (ToolbarLarge.cpp), all as 24-bit RGB PNG, and
// <output-dir>/icons/yotenna-<size>.png, the application icon at each size (AppIcon.cpp), as
// RGBA PNG. With --sheet a magnified preview of every toolbar icon is written as well, with
// --icon-sheet one of the application icon at each size, actual size and magnified.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include "AppIcon.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ToolbarLarge.h"

namespace {

constexpr int kIconSize = 16;
constexpr int kStartupWidth = 420;
constexpr int kStartupHeight = 334;

// ---------------------------------------------------------------------------
// Toolbar icons: 16 x 16 pixel maps, one character per pixel.
// ---------------------------------------------------------------------------

using Pattern = std::vector<std::string_view>;
using Grid = std::array<std::string, kIconSize>;

// Colour of one pixel-map character; '.' is the toolbar ground.
std::optional<QColor> paletteColour(char c) {
  switch (c) {
    case '.':
      return QColor(175, 216, 223);  // toolbar ground
    case 'k':
      return QColor(36, 36, 44);  // outline
    case 'w':
      return QColor(255, 255, 255);  // paper
    case 'l':
      return QColor(214, 218, 224);  // light grey
    case 'G':
      return QColor(138, 142, 152);  // grey
    case 'd':
      return QColor(86, 90, 100);  // dark grey
    case 'o':
      return QColor(255, 140, 0);  // arrow orange
    case 'y':
      return QColor(252, 212, 92);  // folder
    case 'Y':
      return QColor(214, 158, 38);  // folder shade
    case 'r':
      return QColor(222, 40, 40);  // red
    case 'b':
      return QColor(40, 96, 216);  // blue
    case 'B':
      return QColor(150, 92, 40);  // wood
    case 'c':
      return QColor(150, 212, 250);  // glass
    case 'g':
      return QColor(40, 168, 64);  // green
    case 'm':
      return QColor(210, 30, 160);  // magenta
    case 'n':
      return QColor(16, 26, 96);  // kanji ink
    case 's':
      return QColor(196, 200, 210);  // tin
    case 'S':
      return QColor(120, 126, 140);  // tin shade
    case 'v':
      return QColor(250, 226, 96);  // light yellow
    case 'T':
      return QColor(236, 196, 142);  // bare wood
    default:
      return std::nullopt;
  }
}

Grid blankGrid() {
  Grid g;
  for (auto& row : g) row.assign(kIconSize, '.');
  return g;
}

Grid gridFrom(const Pattern& rows) {
  Grid g = blankGrid();
  for (std::size_t y = 0; y < rows.size() && y < g.size(); ++y) g[y] = std::string(rows[y]);
  return g;
}

// Copies the non-ground pixels of a pattern into the grid at (x, y).
// With 'ink' set, every set pixel gets that colour instead of its own.
void stamp(Grid& g, const Pattern& pat, int x, int y, bool mirror = false, char ink = 0) {
  for (std::size_t row = 0; row < pat.size(); ++row) {
    const std::string_view line = pat[row];
    const int w = static_cast<int>(line.size());
    for (int col = 0; col < w; ++col) {
      const char c = line[static_cast<std::size_t>(mirror ? w - 1 - col : col)];
      if (c == '.') continue;
      const int px = x + col;
      const int py = y + static_cast<int>(row);
      if (px < 0 || py < 0 || px >= kIconSize || py >= kIconSize) continue;
      g[static_cast<std::size_t>(py)][static_cast<std::size_t>(px)] = ink != 0 ? ink : c;
    }
  }
}

int patternWidth(const Pattern& pat) {
  std::size_t w = 0;
  for (auto line : pat) w = std::max(w, line.size());
  return static_cast<int>(w);
}

// Hand-set kanji, 10 rows high.
// clang-format off
const Pattern kGlyphYear = {
    "..##......",
    "..#######.",
    ".##..#....",
    ".#...#....",
    "..#######.",
    "..#..#....",
    "..#..#....",
    "##########",
    ".....#....",
    ".....#....",
};
// clang-format on

// clang-format off
const Pattern kGlyphMonth = {
    ".#######",
    ".#.....#",
    ".#######",
    ".#.....#",
    ".#.....#",
    ".#######",
    ".#.....#",
    ".#.....#",
    "##.....#",
    "#....###",
};
// clang-format on

// clang-format off
const Pattern kGlyphDay = {
    "#######",
    "#.....#",
    "#.....#",
    "#.....#",
    "#######",
    "#.....#",
    "#.....#",
    "#.....#",
    "#.....#",
    "#######",
};
// clang-format on

// clang-format off
const Pattern kGlyphPoint = {
    ".#..#..#",
    ".#..#.#.",
    "###.##..",
    ".#..####",
    ".##.....",
    ".#..####",
    "##..#..#",
    ".#..####",
    ".#..#..#",
    "##..####",
};
// clang-format on

// clang-format off
const Pattern kGlyphFix = {
    "...#...",
    "#######",
    "#.....#",
    ".#####.",
    "...#...",
    ".#.###.",
    ".#.#...",
    ".#.#...",
    "#.##...",
    "#..####",
};
// clang-format on

// Navigation arrow pointing left, six rows high.
// clang-format off
const Pattern kArrowLeft = {
    "...oo...........",
    "..ooo...........",
    ".ooooooooooooooo",
    ".ooooooooooooooo",
    "..ooo...........",
    "...oo...........",
};
// clang-format on

// One of the year/month/day stepping icons: arrow on top, kanji below.
Grid stepIcon(const Pattern& glyph, bool forward) {
  Grid g = blankGrid();
  stamp(g, kArrowLeft, 0, 0, forward);
  const int w = patternWidth(glyph);
  const int h = static_cast<int>(glyph.size());
  stamp(g, glyph, (kIconSize - w + 1) / 2, kIconSize - h, false, 'n');
  return g;
}

Grid pickDateIcon() {
  Grid g = blankGrid();
  stamp(g, kGlyphPoint, 0, 0, false, 'n');
  stamp(g, kGlyphFix, 9, 0, false, 'n');
  // clang-format off
  const Pattern triangle = {
      "kkkkkkk",
      ".kkkkk.",
      "..kkk..",
      "...k...",
  };
  // clang-format on
  stamp(g, triangle, 4, 11);
  return g;
}

// Icon pixel maps drawn by hand.
// clang-format off
const Pattern kNewFile = {
    "................",
    "..kkkkkkkk......",
    "..kwwwwwwkk.....",
    "..kwwwwwwklk....",
    "..kwwwwwwkllk...",
    "..kwwwwwwkkkkk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kkkkkkkkkkkk..",
    "................",
};
// clang-format on

// clang-format off
const Pattern kOpenFile = {
    "............o...",
    "............oo..",
    ".......oooooooo.",
    "......ooooooooo.",
    "......oo....oo..",
    "......oo....o...",
    ".kkkk.oo........",
    "kYYYYYookkkk....",
    "kYYYYYYYYYYk....",
    "kYYYkkkkkkkkkkkk",
    "kYYkyyyyyyyyyyk.",
    "kYkyyyyyyyyyyk..",
    "kYkyyyyyyyyyyk..",
    "kkyyyyyyyyyyk...",
    "kkkkkkkkkkkkk...",
    "................",
};
// clang-format on

// clang-format off
const Pattern kNewEntry = {
    "................",
    "...d......d.....",
    ".kkdkkkkkkdkkkk.",
    ".krrrrrrrrrrrrk.",
    ".krrrrrrrrrrrrk.",
    ".kkkkkkkkkkkkkk.",
    ".kwwwwwwwwwwwwk.",
    ".kwrwGwGwGwGbwk.",
    ".kwwwwwwwwwwwwk.",
    ".kwrwGwGwGwGbwk.",
    ".kwwwwwwwwwwwwk.",
    ".kwrwGwooGwGbwk.",
    ".kwwwwoowwwwwwk.",
    ".kwrwGwGwGwGbwk.",
    ".kkkkkkkkkkkkkk.",
    "................",
};
// clang-format on

// clang-format off
const Pattern kSearch = {
    "................",
    "..kkkk....kkkk..",
    "..kGGk....kGGk..",
    "..kGGkkkkkkGGk..",
    ".kkkkkdddkkkkkk.",
    ".kdddkkkkkkdddk.",
    ".kdddk....kdddk.",
    "kkkkkkk..kkkkkkk",
    "kdGGGdk..kdGGGdk",
    "kkkkkkk..kkkkkkk",
    "kccwcck..kccwcck",
    "kcwccck..kcwccck",
    "kccccck..kccccck",
    "kbcccbk..kbcccbk",
    ".kkkkk....kkkkk.",
    "................",
};
// clang-format on

// clang-format off
const Pattern kNotepad = {
    "................",
    "..d.d.d.d.d.....",
    ".kdkdkdkdkdk..k.",
    ".kwwwwwwwwwk.krk",
    ".kwbbbbbbbwk.kGk",
    ".kwwwwwwwwwk.kvk",
    ".kwbbbbbbbwk.kvk",
    ".kwwwwwwwwwk.kvk",
    ".kwbbbbbbbwk.kvk",
    ".kwwwwwwwwwk.kvk",
    ".kwbbbbbwwwk.kvk",
    ".kwwwwwwwwwk.kvk",
    ".kwbbbbbbwwk.kTk",
    ".kwwwwwwwwwk..k.",
    ".kkkkkkkkkkk....",
    "................",
};
// clang-format on

// clang-format off
const Pattern kFileBrowser = {
    "................",
    ".kkkk...........",
    "kyyyyk..........",
    "kyyyyykkkkkkk...",
    "kvvvvvvvvvvvk...",
    "kyyyyyyyyyyyk...",
    "kyyyyyyyykkkk...",
    "kyyyyyyykcccck..",
    "kyyyyyykcwcccck.",
    "kyyyyyykwccccck.",
    "kYYYYYYkcccccck.",
    "kkkkkkkkcccccck.",
    "........kcccck..",
    ".........kkkkdd.",
    "..............dd",
    "...............d",
};
// clang-format on

// clang-format off
const Pattern kPaint = {
    "..r.........b...",
    ".rrr.......bbb..",
    ".rrr....g..bbb..",
    "..G....ggg..G...",
    "..B....ggg..B...",
    "...B....G..B....",
    "...B....B..B....",
    "....B...B.B.....",
    ".kkkkkkkkkkkkkk.",
    ".kmmmmmmmmmmmmk.",
    "..kkkkkkkkkkkk..",
    "..kwmssssssSSk..",
    "..kwmssssssSSk..",
    "..kwsssssssSSk..",
    "...kssssssSSk...",
    "...kkkkkkkkkk...",
};
// clang-format on

std::vector<std::pair<QString, Grid>> toolbarIcons() {
  std::vector<std::pair<QString, Grid>> icons;
  icons.emplace_back(QStringLiteral("01"), gridFrom(kNewFile));
  icons.emplace_back(QStringLiteral("02"), gridFrom(kOpenFile));
  icons.emplace_back(QStringLiteral("03"), gridFrom(kNewEntry));
  icons.emplace_back(QStringLiteral("04"), stepIcon(kGlyphYear, false));
  icons.emplace_back(QStringLiteral("05"), stepIcon(kGlyphMonth, false));
  icons.emplace_back(QStringLiteral("06"), stepIcon(kGlyphDay, false));
  icons.emplace_back(QStringLiteral("07"), pickDateIcon());
  icons.emplace_back(QStringLiteral("08"), stepIcon(kGlyphDay, true));
  icons.emplace_back(QStringLiteral("09"), stepIcon(kGlyphMonth, true));
  icons.emplace_back(QStringLiteral("10"), stepIcon(kGlyphYear, true));
  icons.emplace_back(QStringLiteral("11"), gridFrom(kSearch));
  icons.emplace_back(QStringLiteral("12"), gridFrom(kNotepad));
  icons.emplace_back(QStringLiteral("13"), gridFrom(kFileBrowser));
  icons.emplace_back(QStringLiteral("14"), gridFrom(kPaint));
  return icons;
}

// Paints a pixel map one pixel at a time, without antialiasing.
std::optional<QImage> renderIcon(const QString& name, const Grid& grid) {
  QImage img(kIconSize, kIconSize, QImage::Format_RGB888);
  img.fill(*paletteColour('.'));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int y = 0; y < kIconSize; ++y) {
    const std::string& row = grid[static_cast<std::size_t>(y)];
    if (row.size() != kIconSize) {
      std::fprintf(stderr, "icon %s: row %d has %zu pixels\n", qPrintable(name), y, row.size());
      return std::nullopt;
    }
    for (int x = 0; x < kIconSize; ++x) {
      const auto colour = paletteColour(row[static_cast<std::size_t>(x)]);
      if (!colour) {
        std::fprintf(stderr, "icon %s: unknown colour '%c' at %d,%d\n", qPrintable(name),
                     row[static_cast<std::size_t>(x)], x, y);
        return std::nullopt;
      }
      p.fillRect(x, y, 1, 1, *colour);
    }
  }
  return img;
}

// ---------------------------------------------------------------------------
// Start-up picture: a wall calendar with an alarm clock in front of it.
// ---------------------------------------------------------------------------

QFont makeFont(const QStringList& families, qreal pixelSize, int weight) {
  QFont f;
  f.setFamilies(families);
  f.setPixelSize(static_cast<int>(std::lround(pixelSize)));
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

QFont latinFont(qreal px, int weight = QFont::Bold) {
  return makeFont({QStringLiteral("DejaVu Sans"), QStringLiteral("Sans")}, px, weight);
}

QFont japaneseFont(qreal px, int weight = QFont::Bold) {
  return makeFont(
      {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"), QStringLiteral("Sans")},
      px, weight);
}

QPointF polar(QPointF centre, qreal radius, qreal clockDegrees) {
  // 0 degrees is twelve o'clock, angles grow clockwise.
  const qreal rad = clockDegrees * std::numbers::pi / 180.0;
  return {centre.x() + radius * std::sin(rad), centre.y() - radius * std::cos(rad)};
}

void drawSoftShadow(QPainter& p, const QRectF& r, qreal radius, QPointF offset) {
  p.save();
  p.setPen(Qt::NoPen);
  for (int i = 6; i >= 1; --i) {
    p.setBrush(QColor(20, 40, 60, 9));
    p.drawRoundedRect(r.translated(offset).adjusted(-i, -i, i, i), radius + i, radius + i);
  }
  p.restore();
}

void drawBackground(QPainter& p) {
  QLinearGradient wall(0, 0, 0, kStartupHeight);
  wall.setColorAt(0.0, QColor(203, 230, 240));
  wall.setColorAt(1.0, QColor(240, 248, 251));
  p.fillRect(QRectF(0, 0, kStartupWidth, kStartupHeight), wall);

  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 80));
  p.drawEllipse(QPointF(392, 30), 86, 86);
  p.drawEllipse(QPointF(20, 40), 46, 46);
  p.setBrush(QColor(255, 255, 255, 50));
  p.drawEllipse(QPointF(350, 120), 40, 40);

  // Desk top the clock stands on.
  const QRectF desk(0, 300, kStartupWidth, kStartupHeight - 300);
  QLinearGradient wood(0, desk.top(), 0, desk.bottom());
  wood.setColorAt(0.0, QColor(226, 196, 154));
  wood.setColorAt(1.0, QColor(196, 160, 114));
  p.fillRect(desk, wood);
  p.fillRect(QRectF(0, desk.top(), kStartupWidth, 2), QColor(246, 226, 196));
}

struct DayStyle {
  QColor cell;
  QColor number;
};

void drawCalendar(QPainter& p) {
  constexpr qreal cellW = 34;
  constexpr qreal cellH = 30;
  const QRectF page(14, 74, 7 * cellW + 18, 216);
  const qreal headerH = 40;

  drawSoftShadow(p, page, 6, QPointF(3, 4));

  // Paper.
  p.setPen(QPen(QColor(196, 204, 212), 1));
  p.setBrush(Qt::white);
  p.drawRoundedRect(page, 6, 6);

  // Coloured month header.
  {
    QPainterPath band;
    band.addRoundedRect(page, 6, 6);
    QPainterPath cut;
    cut.addRect(QRectF(page.left(), page.top(), page.width(), headerH));
    band = band.intersected(cut);
    QLinearGradient red(0, page.top(), 0, page.top() + headerH);
    red.setColorAt(0.0, QColor(236, 92, 82));
    red.setColorAt(1.0, QColor(204, 50, 50));
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPath(band);

    p.setPen(Qt::white);
    p.setFont(latinFont(30));
    p.drawText(QPointF(page.left() + 14, page.top() + 34), QStringLiteral("5"));
    p.setFont(japaneseFont(21));
    p.drawText(QPointF(page.left() + 36, page.top() + 33), QString::fromUtf8("月"));
  }

  // Spiral binding along the top edge.
  for (int i = 0; i < 11; ++i) {
    const qreal x = page.left() + 24 + i * (page.width() - 48) / 10.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 30, 30));
    p.drawEllipse(QPointF(x, page.top() + 6), 2.6, 2.6);
    QPen wire(QColor(80, 86, 98), 2.2);
    wire.setCapStyle(Qt::RoundCap);
    p.setPen(wire);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(x - 4, page.top() - 8, 8, 16), 0 * 16, 180 * 16);
    p.drawLine(QPointF(x - 4, page.top()), QPointF(x - 2, page.top() + 6));
  }

  const qreal gridLeft = page.left() + 9;
  const qreal namesTop = page.top() + headerH + 3;

  // Weekday kanji, Sunday first.
  static const std::array<const char*, 7> names = {"日", "月", "火", "水", "木", "金", "土"};
  const QColor sundayRed(214, 40, 40);
  const QColor saturdayBlue(36, 90, 206);
  const QColor holidayMagenta(200, 20, 150);
  const QColor ink(60, 66, 80);
  p.setFont(japaneseFont(11));
  for (int c = 0; c < 7; ++c) {
    p.setPen(c == 0 ? sundayRed : c == 6 ? saturdayBlue : ink);
    p.drawText(QRectF(gridLeft + c * cellW, namesTop, cellW, 16), Qt::AlignCenter,
               QString::fromUtf8(names[static_cast<std::size_t>(c)]));
  }

  const qreal gridTop = namesTop + 17;
  const int firstColumn = 4;  // the 1st falls on a Thursday
  const auto isHoliday = [](int day) { return day == 3 || day == 5 || day == 6; };
  const int today = 15;

  p.setFont(latinFont(10));
  for (int day = 1; day <= 31; ++day) {
    const int slot = firstColumn + day - 1;
    const int col = slot % 7;
    const int row = slot / 7;
    const QRectF cell(gridLeft + col * cellW, gridTop + row * cellH, cellW, cellH);

    DayStyle style{QColor(255, 255, 255), ink};
    if (isHoliday(day))
      style = {QColor(252, 226, 244), holidayMagenta};
    else if (col == 0)
      style = {QColor(255, 234, 234), sundayRed};
    else if (col == 6)
      style = {QColor(230, 238, 255), saturdayBlue};
    if (day == today) style.cell = QColor(255, 246, 200);

    p.setPen(QPen(QColor(222, 228, 236), 1));
    p.setBrush(style.cell);
    p.drawRect(cell.adjusted(0.5, 0.5, -0.5, -0.5));

    if (day == today) {
      p.setPen(QPen(QColor(255, 140, 0), 2));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(cell.left() + 11, cell.top() + 10), 8, 8);
    }
    p.setPen(style.number);
    p.drawText(QRectF(cell.left() + 2, cell.top() + 2, 18, 16), Qt::AlignCenter,
               QString::number(day));
  }

  // A few appointments as coloured bars.
  struct Entry {
    int day;
    QColor colour;
    qreal length;
  };
  const std::array<Entry, 6> entries = {{
      {8, QColor(60, 170, 90), 24},
      {13, QColor(255, 150, 30), 18},
      {15, QColor(255, 120, 0), 26},
      {21, QColor(70, 130, 220), 22},
      {27, QColor(60, 170, 90), 14},
      {29, QColor(150, 90, 210), 24},
  }};
  p.setPen(Qt::NoPen);
  for (const auto& e : entries) {
    const int slot = firstColumn + e.day - 1;
    const QRectF bar(gridLeft + (slot % 7) * cellW + 5, gridTop + (slot / 7) * cellH + 21, e.length,
                     4);
    p.setBrush(e.colour);
    p.drawRoundedRect(bar, 2, 2);
  }
}

void drawBell(QPainter& p, QPointF centre, qreal clockRadius, qreal angle) {
  p.save();
  p.translate(centre);
  p.rotate(angle);
  p.translate(0, -clockRadius - 2);

  // Stem joining the bell to the case.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(90, 90, 100));
  p.drawRect(QRectF(-3, -2, 6, 10));

  // Dome.
  QPainterPath dome;
  dome.moveTo(-25, 0);
  dome.cubicTo(-25, -30, 25, -30, 25, 0);
  dome.quadTo(0, -6, -25, 0);
  QLinearGradient gold(-25, -24, 25, 0);
  gold.setColorAt(0.0, QColor(255, 236, 140));
  gold.setColorAt(0.5, QColor(246, 196, 60));
  gold.setColorAt(1.0, QColor(198, 134, 24));
  p.setPen(QPen(QColor(146, 96, 16), 1.6));
  p.setBrush(gold);
  p.drawPath(dome);

  // Knob on top and a gleam.
  p.setBrush(QColor(246, 196, 60));
  p.drawEllipse(QPointF(0, -23), 3.5, 3.5);
  QPen gleam(QColor(255, 255, 255, 170), 3);
  gleam.setCapStyle(Qt::RoundCap);
  p.setPen(gleam);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(-17, -19, 24, 26), 110 * 16, 45 * 16);
  p.restore();
}

// Short strokes around a bell, as if it were ringing. 'direction' is the
// clock angle the strokes face.
void drawRingLines(QPainter& p, QPointF bell, qreal direction) {
  QPen pen(QColor(255, 140, 0), 3);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  // Qt arcs start at three o'clock and run anticlockwise.
  const qreal qtMid = 90 - direction;
  for (int i = 0; i < 2; ++i) {
    const qreal r = 31 + i * 7;
    const qreal span = 30 - i * 6;
    p.drawArc(QRectF(bell.x() - r, bell.y() - r, 2 * r, 2 * r),
              static_cast<int>((qtMid - span / 2) * 16), static_cast<int>(span * 16));
  }
}

void drawClock(QPainter& p) {
  const QPointF c(322, 224);
  const qreal r = 60;

  // Shadow on the desk.
  {
    QRadialGradient shade(QPointF(c.x(), 307), 70);
    shade.setColorAt(0.0, QColor(60, 40, 20, 90));
    shade.setColorAt(1.0, QColor(60, 40, 20, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.save();
    p.translate(c.x(), 307);
    p.scale(1.0, 0.14);
    p.translate(-c.x(), -307);
    p.drawEllipse(QPointF(c.x(), 307), 70, 70);
    p.restore();
  }

  // Legs.
  QPen leg(QColor(70, 72, 84), 7);
  leg.setCapStyle(Qt::RoundCap);
  p.setPen(leg);
  p.drawLine(polar(c, r - 8, 218), QPointF(c.x() - 46, 304));
  p.drawLine(polar(c, r - 8, 142), QPointF(c.x() + 46, 304));

  // Hammer between the bells.
  p.setPen(QPen(QColor(80, 84, 96), 3));
  p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() - r - 14));
  p.setPen(QPen(QColor(146, 96, 16), 1.4));
  p.setBrush(QColor(246, 196, 60));
  p.drawEllipse(QPointF(c.x(), c.y() - r - 17), 4.5, 4.5);

  drawRingLines(p, polar(c, r + 12, -40), -36);
  drawRingLines(p, polar(c, r + 12, 40), 36);
  drawBell(p, c, r, -40);
  drawBell(p, c, r, 40);

  // Case.
  QRadialGradient body(c + QPointF(-20, -22), r * 1.5);
  body.setColorAt(0.0, QColor(255, 120, 100));
  body.setColorAt(0.6, QColor(226, 58, 52));
  body.setColorAt(1.0, QColor(170, 32, 36));
  p.setPen(QPen(QColor(140, 24, 28), 2));
  p.setBrush(body);
  p.drawEllipse(c, r, r);

  // Dial.
  const qreal face = r - 9;
  QRadialGradient dial(c + QPointF(-10, -12), face * 1.3);
  dial.setColorAt(0.0, QColor(255, 255, 255));
  dial.setColorAt(1.0, QColor(232, 238, 244));
  p.setPen(QPen(QColor(150, 40, 40), 1.5));
  p.setBrush(dial);
  p.drawEllipse(c, face, face);

  for (int i = 0; i < 60; ++i) {
    const bool hour = i % 5 == 0;
    QPen tick(hour ? QColor(30, 44, 90) : QColor(150, 156, 170), hour ? 2.6 : 1.0);
    tick.setCapStyle(Qt::RoundCap);
    p.setPen(tick);
    p.drawLine(polar(c, face - 3, i * 6.0), polar(c, face - (hour ? 9 : 5), i * 6.0));
  }
  p.setPen(QColor(30, 44, 90));
  p.setFont(latinFont(11));
  for (int h : {12, 3, 6, 9}) {
    const QPointF at = polar(c, face - 18, h * 30.0);
    p.drawText(QRectF(at.x() - 10, at.y() - 8, 20, 16), Qt::AlignCenter, QString::number(h));
  }

  const auto hand = [&](qreal angle, qreal length, qreal width, const QColor& colour) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(polar(c, -6, angle), polar(c, length, angle));
  };
  // Ten past ten, with the alarm set for seven.
  hand(210, 30, 2, QColor(255, 120, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 120, 0));
  {
    const QPointF tip = polar(c, 34, 210);
    const QPointF l = polar(c, 27, 204);
    const QPointF rr = polar(c, 27, 216);
    const std::array<QPointF, 3> tri = {tip, l, rr};
    p.drawPolygon(tri.data(), 3);
  }
  hand(305, 25, 5, QColor(30, 44, 90));
  hand(60, 38, 3.5, QColor(30, 44, 90));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 44, 90));
  p.drawEllipse(c, 4.5, 4.5);
  p.setBrush(QColor(246, 196, 60));
  p.drawEllipse(c, 2, 2);

  // Glass reflection.
  QPen glare(QColor(255, 255, 255, 150), 5);
  glare.setCapStyle(Qt::RoundCap);
  p.setPen(glare);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(c.x() - face + 6, c.y() - face + 6, 2 * face - 12, 2 * face - 12), 112 * 16,
            40 * 16);
}

void drawTitle(QPainter& p) {
  QFont font = makeFont(
      {QStringLiteral("URW Gothic"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans")}, 50,
      QFont::DemiBold);
  const QString title = QStringLiteral("Yotenna");
  const QFontMetricsF fm(font);
  const qreal width = fm.horizontalAdvance(title);
  const qreal stampSpace = 58;
  const qreal x = (kStartupWidth - width - stampSpace) / 2.0;
  const qreal baseline = 56;

  QPainterPath text;
  text.addText(QPointF(x, baseline), font, title);

  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 50, 90, 50));
  p.drawPath(text.translated(2, 3));

  QPen outline(Qt::white, 5);
  outline.setJoinStyle(Qt::RoundJoin);
  p.setPen(outline);
  p.setBrush(Qt::NoBrush);
  p.drawPath(text);

  QLinearGradient fill(0, baseline - fm.ascent(), 0, baseline);
  fill.setColorAt(0.0, QColor(40, 110, 190));
  fill.setColorAt(1.0, QColor(20, 52, 120));
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawPath(text);

  // A red seal reading 予定 ("plans") beside the name.
  const QPointF seal(x + width + stampSpace / 2 + 6, baseline - 18);
  p.translate(seal);
  p.rotate(-10);
  const QColor vermilion(214, 50, 40, 230);
  p.setPen(QPen(vermilion, 3));
  p.setBrush(QColor(255, 255, 255, 120));
  p.drawRoundedRect(QRectF(-24, -24, 48, 48), 8, 8);
  p.setPen(vermilion);
  p.setFont(japaneseFont(19));
  p.drawText(QRectF(-24, -24, 48, 48), Qt::AlignCenter, QString::fromUtf8("予定"));
  p.restore();
}

// The picture at 1x or 2x: the same drawing, scaled, so that it is sharp on a screen of twice
// the density.
QImage renderStartup(int scale) {
  QImage img(kStartupWidth * scale, kStartupHeight * scale, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  QPainter p(&img);
  p.scale(scale, scale);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  drawBackground(p);
  drawCalendar(p);
  drawClock(p);
  drawTitle(p);
  p.end();
  return img.convertToFormat(QImage::Format_RGB888);
}

// ---------------------------------------------------------------------------
// Output and checks.
// ---------------------------------------------------------------------------

// Reads back a written PNG and confirms its size and that it is 8-bit RGB
// without an alpha channel (colour type 2 in the IHDR chunk).
bool checkPng(const QString& path, int width, int height) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "%s: cannot read back\n", qPrintable(path));
    return false;
  }
  const QByteArray head = file.read(33);
  if (head.size() < 33 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR") {
    std::fprintf(stderr, "%s: not a PNG\n", qPrintable(path));
    return false;
  }
  const auto be32 = [&](int at) {
    return (static_cast<quint8>(head[at]) << 24) | (static_cast<quint8>(head[at + 1]) << 16) |
           (static_cast<quint8>(head[at + 2]) << 8) | static_cast<quint8>(head[at + 3]);
  };
  const int w = be32(16);
  const int h = be32(20);
  const int depth = static_cast<quint8>(head[24]);
  const int colourType = static_cast<quint8>(head[25]);
  if (w != width || h != height || depth != 8 || colourType != 2) {
    std::fprintf(stderr, "%s: got %dx%d depth %d colour type %d, want %dx%d RGB\n",
                 qPrintable(path), w, h, depth, colourType, width, height);
    return false;
  }
  return true;
}

bool save(const QImage& img, const QString& path) {
  const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
  if (!rgb.save(path, "PNG")) {
    std::fprintf(stderr, "%s: cannot write\n", qPrintable(path));
    return false;
  }
  return checkPng(path, rgb.width(), rgb.height());
}

// Every icon magnified: the 16-pixel map eight times, the 24-pixel drawing five times and the
// 32-pixel one four times (pixels stay square), plus a row of all at actual size.
QImage contactSheet(const std::vector<std::pair<QString, QImage>>& icons,
                    const std::vector<std::pair<QString, QImage>>& largeIcons) {
  constexpr int cell = 128;
  constexpr int gap = 20;
  constexpr int columns = 7;
  constexpr int block = 3 * cell + 2 * 8 + 14;  // three sizes and the name
  const int rows = (static_cast<int>(icons.size()) + columns - 1) / columns;
  const int width = gap + columns * (cell + gap);
  const int height = gap + rows * (block + gap) + 3 * 40;

  QImage sheet(width, height, QImage::Format_RGB888);
  sheet.fill(QColor(90, 96, 108));
  QPainter p(&sheet);
  p.setFont(latinFont(11));
  const auto magnified = [](const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  };
  for (std::size_t i = 0; i < icons.size(); ++i) {
    const int col = static_cast<int>(i) % columns;
    const int row = static_cast<int>(i) / columns;
    const int x = gap + col * (cell + gap);
    int y = gap + row * (block + gap);
    p.drawImage(QPoint(x, y), magnified(icons[i].second, 8));
    y += cell + 8;
    if (2 * i + 1 < largeIcons.size()) {
      p.drawImage(QPoint(x + 4, y), magnified(largeIcons[2 * i].second, 5));
      y += cell + 8;
      p.drawImage(QPoint(x, y), magnified(largeIcons[2 * i + 1].second, 4));
    }
    y += cell;
    p.setPen(Qt::white);
    p.drawText(QRect(x, y, cell, 14), Qt::AlignCenter, icons[i].first);
  }
  // Actual sizes: 16, 24 and 32 pixels.
  for (std::size_t i = 0; i < icons.size(); ++i) {
    const int x = gap + static_cast<int>(i) * 40;
    const int y = height - 3 * 40 + 4;
    p.drawImage(QPoint(x, y), icons[i].second);
    if (2 * i + 1 < largeIcons.size()) {
      p.drawImage(QPoint(x, y + 24), largeIcons[2 * i].second);
      p.drawImage(QPoint(x, y + 56), largeIcons[2 * i + 1].second);
    }
  }
  p.end();
  return sheet;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  const QStringList args = QGuiApplication::arguments();
  QString outDir;
  QString sheetPath;
  QString iconSheetPath;
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--sheet") && i + 1 < args.size())
      sheetPath = args[++i];
    else if (args[i] == QLatin1String("--icon-sheet") && i + 1 < args.size())
      iconSheetPath = args[++i];
    else if (outDir.isEmpty())
      outDir = args[i];
    else {
      std::fprintf(stderr, "unexpected argument: %s\n", qPrintable(args[i]));
      return 2;
    }
  }
  if (outDir.isEmpty()) {
    std::fprintf(stderr,
                 "usage: drawart <output-dir> [--sheet <file.png>] [--icon-sheet <file.png>]\n");
    return 2;
  }

  const QDir dir(outDir);
  if (!dir.mkpath(QStringLiteral("toolbar"))) {
    std::fprintf(stderr, "cannot create %s/toolbar\n", qPrintable(outDir));
    return 1;
  }

  bool ok = save(renderStartup(1), dir.filePath(QStringLiteral("startup.png")));
  ok = save(renderStartup(2), dir.filePath(QStringLiteral("startup@2x.png"))) && ok;

  std::vector<std::pair<QString, QImage>> rendered;
  std::vector<std::pair<QString, QImage>> largeIcons;
  for (const auto& [name, grid] : toolbarIcons()) {
    const auto img = renderIcon(name, grid);
    if (!img) {
      ok = false;
      continue;
    }
    ok = save(*img, dir.filePath(QStringLiteral("toolbar/%1.png").arg(name))) && ok;
    rendered.emplace_back(name, *img);
  }
  for (int picture = 1; picture <= static_cast<int>(rendered.size()); ++picture) {
    for (const auto& [pixels, suffix] : {std::pair{24, "@1.5x"}, std::pair{32, "@2x"}}) {
      const QImage large = drawLargeToolbarIcon(picture, pixels);
      const QString name =
          QStringLiteral("%1%2").arg(picture, 2, 10, QLatin1Char('0')).arg(QLatin1String(suffix));
      ok = !large.isNull() &&
           save(large, dir.filePath(QStringLiteral("toolbar/%1.png").arg(name))) && ok;
      largeIcons.emplace_back(name, large);
    }
  }

  ok = saveAppIcons(dir.filePath(QStringLiteral("icons"))) && ok;
  if (!iconSheetPath.isEmpty() && !appIconSheet().save(iconSheetPath, "PNG")) {
    std::fprintf(stderr, "%s: cannot write\n", qPrintable(iconSheetPath));
    ok = false;
  }

  if (!sheetPath.isEmpty() && !contactSheet(rendered, largeIcons).save(sheetPath, "PNG")) {
    std::fprintf(stderr, "%s: cannot write\n", qPrintable(sheetPath));
    ok = false;
  }
  return ok ? 0 : 1;
}
