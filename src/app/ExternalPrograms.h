#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The three programs the toolbar starts: on Windows the system's own (notepad, Explorer,
// Paint); elsewhere the first of a few common programs that is installed.
enum class ExternalProgram { TextEditor, FileBrowser, Paint };

struct LaunchPlan {
  QString program;  // empty when nothing suitable is installed
  QStringList arguments;
  QString missingMessage;  // what to tell the user then
};

// findExecutable returns the full path of a program on PATH, or an empty text.
LaunchPlan planLaunch(ExternalProgram which,
                      const std::function<QString(const QString&)>& findExecutable,
                      const QString& homeFolder);

// The message when a program was found but would not start.
QString startFailedMessage(const QString& program);
