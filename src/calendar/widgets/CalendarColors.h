#pragma once
// The calendar models' colours as the widgets paint them, so that they read under any palette.

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QWidget>

#include "shared/Rgb.h"
#include "ui/Contrast.h"

inline QColor toColor(const Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

// The background of `role`, a fixed colour of the description (a holiday's magenta, today's
// yellow), and the text on it: the given colour where it reads there, else the nearest shade of
// its hue that does (a Sunday's red on magenta turns dark red); without a colour of its own
// black or white, whichever reads. Never the palette's text colour, which a dark style makes
// light.
inline void setColors(QWidget* widget, QPalette::ColorRole backgroundRole, const Rgb& background,
                      const Rgb* text = nullptr) {
  QPalette palette = widget->palette();
  const QColor ground = toColor(background);
  palette.setColor(backgroundRole, ground);
  const QColor reads = text ? shadeReaching(toColor(*text), ground) : readableTextOn(ground);
  palette.setColor(QPalette::WindowText, reads);
  palette.setColor(QPalette::Text, reads);
  widget->setPalette(palette);
}

// Text on the window's own ground: black there means the palette's text colour; red and blue
// keep their meaning in the shade of their hue that reads on the palette's ground.
inline void setTextColor(QWidget* widget, const Rgb& text) {
  const QPalette ground =
      widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette(widget);
  QPalette palette = widget->palette();
  const QColor color = toColor(text);
  palette.setColor(QPalette::WindowText, color == QColor(0, 0, 0)
                                             ? ground.color(QPalette::WindowText)
                                             : paletteShade(color, ground));
  widget->setPalette(palette);
}
