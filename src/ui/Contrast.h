#pragma once
// Colours that read: the contrast of a text colour on its ground, as the accessibility
// guidelines (WCAG 2) measure it, and the shades every window draws with so that it reads
// under any palette (light, dark, high contrast).

#include <QColor>
#include <QPalette>

// Texts of 18 pt and more need less.
constexpr double kTextContrast = 4.5;
constexpr double kLargeTextContrast = 3.0;

// Relative luminance of an sRGB colour, 0 (black) to 1 (white).
double relativeLuminance(const QColor& color);

// (L1 + 0.05) / (L2 + 0.05) with L1 the lighter: 1 for the same colour, 21 for black on white.
double contrastRatio(const QColor& a, const QColor& b);

// Black or white, whichever reads better on a fixed ground (a holiday's magenta, today's
// yellow): what the texts on the description's fixed colours are drawn in.
QColor readableTextOn(const QColor& ground);

// The shade of colour's own hue nearest to it that reaches ratio on ground: the colour itself
// when it does, else the same hue made darker or lighter (whichever is nearer) until it reads.
// A red stays a red, so that it keeps its meaning on a dark ground.
QColor shadeReaching(const QColor& color, const QColor& ground, double ratio = kTextContrast);

// A meaningful colour (the late time's red, a Saturday's blue) for text on the window's own
// ground under this palette.
QColor paletteShade(const QColor& color, const QPalette& palette,
                    QPalette::ColorRole ground = QPalette::Window, double ratio = kTextContrast);

// Sets the text roles of widget's palette (WindowText, Text, ButtonText) to readableTextOn
// ground and its Window and Base roles to ground: a control with a fixed colour behind it.
void setFixedGround(class QWidget* widget, const QColor& ground);
