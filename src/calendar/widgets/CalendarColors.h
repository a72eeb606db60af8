#pragma once
// The calendar models' colours as the widgets paint them.

#include <QColor>
#include <QPalette>
#include <QWidget>

#include "shared/Rgb.h"

inline QColor toColor(const Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

// The background of `role` and, when given, the text of a widget.
inline void setColors(QWidget* widget, QPalette::ColorRole backgroundRole, const Rgb& background,
                      const Rgb* text = nullptr) {
  QPalette palette = widget->palette();
  palette.setColor(backgroundRole, toColor(background));
  if (text) {
    palette.setColor(QPalette::WindowText, toColor(*text));
    palette.setColor(QPalette::Text, toColor(*text));
  }
  widget->setPalette(palette);
}

inline void setTextColor(QWidget* widget, const Rgb& text) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, toColor(text));
  widget->setPalette(palette);
}
