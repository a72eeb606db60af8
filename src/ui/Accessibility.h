#pragma once
// What a screen reader is told about the program's windows beyond what Qt tells by itself.

#include <QList>
#include <QString>

class QRadioButton;
class QWidget;

// Installs the program's own accessible interfaces: a combo box is announced by its accessible
// name with its text as the value (Qt on Linux announces the text as the name and drops the
// name given), and a dialog leaves the widgets marked decorative out of its children. Safe to
// call more than once; every window that relies on it calls it.
void installAccessibleInterfaces();

// A widget that only draws (a line, an empty frame): no screen reader is told of it.
void markDecorative(QWidget* widget);
bool isDecorative(const QWidget* widget);

// A text as a screen reader should say it: the runs of blanks that push a caption into place
// on the screen become one space, and none is left at either end.
QString spokenText(const QString& text);

// The clock as a name: "今は2001年05月03日木曜日         10:00:59です" is said
// "今は2001年05月03日木曜日 10:00です", so that a name rewritten once a minute is true for the
// whole minute.
QString spokenClockText(const QString& clockText);

// Tab and Shift+Tab stop once at a group of radio buttons, on its checked button; the arrow keys
// choose among them. (Qt stops on the group's first button, checked or not, and a screen reader
// would announce a choice that was not made.)
void makeOneTabStop(const QList<QRadioButton*>& group);
