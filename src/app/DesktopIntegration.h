#pragma once
// What makes Yotenna one of the desktop's programs: its icon, raising its windows, and file
// dialogs that match files the way Windows users expect.

#include <QList>
#include <QStringList>

class QIcon;
class QWidget;

// The sizes the application icon is drawn at, in pixels (installed in the hicolor theme too).
const QList<int>& applicationIconSizes();

// The application icon with a picture drawn for each of those sizes, from the resources.
QIcon applicationIcon();

// The icon for the tray: the installed theme icon "yotenna" where there is one (the tray then
// draws it at its own size), else applicationIcon().
QIcon trayIconPicture();

// Shows a window that may be hidden or minimised, raises it over the others and gives it the
// focus; a modal window open over it comes to the front with it.
void bringToFront(QWidget* window);

// True when two paths name the same file: absolute or relative, through a link or not.
bool isSameFile(const QString& a, const QString& b);

// The program's filter entries ("データ(*.dat)", "All(*.*)") as Qt's file dialogs need them.
// On Windows "*.*" matches every file; elsewhere it matches only names with a dot, so there
// the entry keeps its caption and matches with "*" instead. Use with HideNameFilterDetails.
QStringList fileDialogNameFilters(const QStringList& filters);
