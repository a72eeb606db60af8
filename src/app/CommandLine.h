#pragma once
// The command line, `yotenna [FILE]`. Its help and its messages speak the user's language
// (Japanese where the locale asks for it, English otherwise); the windows are always Japanese.

#include <QString>

class QCommandLineParser;
class QCoreApplication;
class QLocale;

// Whether the locale asks for Japanese messages: its first user-interface language is Japanese.
bool commandLineInJapanese(const QLocale& locale);

// Declares FILE, --help, --help-all and --version on parser, in Japanese or English.
void describeCommandLine(QCommandLineParser& parser, bool japanese);

// Reads the program's arguments in the system locale's language. Prints the help, the version
// or a mistake (on standard error) and ends the program, as QCommandLineParser::process does;
// otherwise returns the data file named, or an empty text for none.
QString readCommandLine(QCoreApplication& app);
