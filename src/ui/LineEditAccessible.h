#pragma once
// A one-line text field as a screen reader is given it (installAccessibleInterfaces installs
// it for every field): its text in one run of attributes, nothing told of a quiet field, and
// nothing of its caret or selection while it takes or gives up the focus.

class QAccessibleInterface;
class QEvent;
class QLineEdit;
class QObject;

// The property that makes a field quiet (makeQuietField sets it).
inline constexpr const char* kQuietFieldProperty = "yotennaQuiet";

QAccessibleInterface* makeLineEditAccessible(QLineEdit* edit);

// For an application-wide event filter: runs a field's own handling of a focus event (its
// filters and the field) while the field tells a screen reader nothing, and returns true; for
// any other event it does nothing and returns false. A field selects its text as it takes the
// focus with Tab and drops the selection as it loses it, and Qt tells of both before it tells
// of the focus: Orca said the text, then the field with its text again, and left an empty field
// silent, taking the caret's event for the focus and the focus for one it knew.
bool handleFieldFocusQuietly(QObject* watched, QEvent* event);
