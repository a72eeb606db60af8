#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Platform;

// The three programs the toolbar starts: on Windows the system's own (notepad, Explorer,
// Paint); elsewhere the desktop's own text editor, else the first of a few common programs
// that is installed.
enum class ExternalProgram { TextEditor, FileBrowser, Paint };

// A program as a desktop file describes it: its command line and whether it runs in a terminal.
struct DesktopCommand {
  QStringList arguments;  // the program first
  bool terminal = false;
};

struct LaunchPlan {
  QString program;  // empty when nothing suitable is installed
  QStringList arguments;
  QString missingMessage;  // what to tell the user then
};

// findExecutable returns the full path of a program on PATH (or of an executable given by its
// full path), or an empty text. defaultTextEditor gives the desktop's program for plain text;
// when it is not installed the fixed list is tried.
LaunchPlan planLaunch(ExternalProgram which,
                      const std::function<QString(const QString&)>& findExecutable,
                      const QString& homeFolder,
                      const std::function<std::optional<DesktopCommand>()>& defaultTextEditor = {});

// The command of a desktop file's [Desktop Entry] group without its field codes (no file is
// passed), or nothing when the file has no usable Exec key.
std::optional<DesktopCommand> desktopEntryCommand(const QString& desktopFile);

// Splits an Exec value into arguments by the desktop entry rules (quoting, escapes) and drops
// the field codes (%f, %U, ...); nothing when the quoting is broken.
std::optional<QStringList> splitExecLine(const QString& exec);

// The desktop's default program for text/plain: asks xdg-mime, then reads the desktop file it
// names from the applications folders. Nothing when there is none or it cannot be read.
std::optional<DesktopCommand> queryDefaultTextEditor();

// The message when a program was found but would not start.
QString startFailedMessage(const QString& program);

// Starts one of the three programs (toolbar buttons 16-18); says so when none is installed or
// it would not start.
void startProgram(Platform& platform, ExternalProgram which);
