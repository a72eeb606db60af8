#pragma once
// Starting Yotenna at login: an XDG autostart entry, <config>/autostart/yotenna.desktop
// (<config> is $XDG_CONFIG_HOME, else ~/.config), that starts the program with a data file.
// The entry is the only trace the program leaves outside the data file.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "store/Status.h"

QString autostartEntryPath();

// The entry's text: starts `program` with `dataFile`.
QByteArray autostartEntry(const QString& program, const QString& dataFile);

// The data file an entry starts Yotenna with; none when there is no entry, it cannot be read,
// the desktop has been told to skip it (Hidden, X-GNOME-Autostart-enabled=false), or it names
// no file.
std::optional<QString> autostartDataFile(const QString& entryPath = autostartEntryPath());

// True when the entry starts Yotenna with this data file (the same file by any path).
bool autostartsWith(const QString& dataFile, const QString& entryPath = autostartEntryPath());

// Writes the entry, replacing one for another file; the folder is made when missing.
Status writeAutostartEntry(const QString& program, const QString& dataFile,
                           const QString& entryPath = autostartEntryPath());

// Removes the entry; no entry is fine.
Status removeAutostartEntry(const QString& entryPath = autostartEntryPath());

// The Exec key's quoting: one argument as the key's value holds it, and a value back into its
// arguments (the value's own escapes \\, \s, \n, \t, \r undone first, and %% read as %).
QString execArgument(const QString& argument);
QStringList execArguments(const QString& value);
