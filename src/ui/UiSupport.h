#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;
class QApplication;

// Registers the pictures compiled into the program (safe to call more than once).
void initResources();

// Twips to pixels on the primary screen, at its logical dpi.
int twips(double value);
QRect twipsRect(double left, double top, double width, double height);

// The program's Japanese font in a point size: MS PGothic where it exists, else Noto Sans
// CJK JP, else the default.
QFont japaneseFont(double pointSize, bool bold = false);

// The headings' pop font (HG創英角ﾎﾟｯﾌﾟ体) where it is installed, else japaneseFont().
QFont popFont(double pointSize);

// Fixed border, no maximise (and optionally no minimise) button.
void makeFixedWindow(QWidget* window, bool allowMinimise);

// Japanese for Qt's own texts (standard buttons, file dialogs) and the default font.
void installJapaneseLanguage(QApplication& app);

// Sets the names a screen reader announces; the tooltip doubles as the description. A combo
// box's field and list take its name too (set it after making the box editable).
void setAccessible(QWidget* widget, const QString& name);
