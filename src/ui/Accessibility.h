#pragma once
// What a screen reader is told about the program's windows beyond what Qt tells by itself.

#include <QList>
#include <QString>

class QAbstractItemView;
class QLabel;
class QLineEdit;
class QMenuBar;
class QRadioButton;
class QTreeWidget;
class QWidget;

// Installs the program's own accessible interfaces: a combo box is announced by its accessible
// name with its text as the value (Qt on Linux announces the text as the name and drops the
// name given), a dialog leaves the widgets marked decorative out of its children, a one-line
// text field tells its text as one run of attributes (Qt 6.4's runs leave out the last
// character, and Orca reads the line by them), and an announcer (makeAnnouncer) is a
// notification. Safe to call more than once; every window that relies on it calls it.
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

// A list of rows with column captions as a screen reader should meet it: each cell is read with
// its column's caption before its text (「件名 燃えるゴミ」, Orca reads no header with a row),
// the list has a current row whenever it has rows, and arriving in the list speaks that row
// (Qt tells of the row before the list, and Orca keeps only the list). The cells of rows added
// later are named as they come.
void makeSpokenReportList(QTreeWidget* list);

// A label whose showing is spoken at once by a screen reader (a notification: the only way to
// be heard that Orca 43 gives a program). It shows the text of the last announce().
QLabel* makeAnnouncer(QWidget* parent, const QString& name);
void announce(QLabel* announcer, const QString& text);

// Each menu of the bar, when it drops down, tells a screen reader its name and then its
// highlighted item (Qt tells neither when the arrow keys move from one menu to the next).
void announceMenus(QMenuBar* bar);

// A field whose owner announces its changes itself: a screen reader hears nothing of the
// field's text, caret or selection (the date picker's field, whose every key Orca echoed).
void makeQuietField(QLineEdit* field);

// Tells a screen reader of the view's current item again, as if it had just become current:
// what it hears on arriving in a view whose current item did not change.
void retellCurrentItem(QAbstractItemView* view);
