#include "app/ExternalPrograms.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "shared/Platform.h"

namespace {

#ifndef Q_OS_WIN
struct Choice {
  const char* name;
  bool takesHomeFolder;
};

LaunchPlan firstInstalled(std::initializer_list<Choice> choices,
                          const std::function<QString(const QString&)>& findExecutable,
                          const QString& homeFolder, const QString& missingMessage) {
  for (const Choice& choice : choices) {
    const QString path = findExecutable(QString::fromLatin1(choice.name));
    if (path.isEmpty()) continue;
    LaunchPlan plan{path, {}, {}};
    if (choice.takesHomeFolder) plan.arguments.append(homeFolder);
    return plan;
  }
  return {{}, {}, missingMessage};
}

// The desktop's editor for plain text, where it is installed. A terminal program (vi, nano)
// runs in the terminal that Debian's x-terminal-emulator names.
std::optional<LaunchPlan> desktopTextEditor(
    const std::function<QString(const QString&)>& findExecutable,
    const std::function<std::optional<DesktopCommand>()>& defaultTextEditor) {
  if (!defaultTextEditor) return std::nullopt;
  const std::optional<DesktopCommand> command = defaultTextEditor();
  if (!command || command->arguments.isEmpty()) return std::nullopt;
  const QString program = findExecutable(command->arguments.first());
  if (program.isEmpty()) return std::nullopt;
  const QStringList arguments = command->arguments.mid(1);
  if (!command->terminal) return LaunchPlan{program, arguments, {}};
  const QString terminal = findExecutable(QStringLiteral("x-terminal-emulator"));
  if (terminal.isEmpty()) return std::nullopt;
  return LaunchPlan{terminal, QStringList{QStringLiteral("-e"), program} + arguments, {}};
}

// A message that something is missing, with the command that installs it on a line of its own
// (a message box breaks long lines at blanks, and a command broken in two reads as two).
QString installHint(const char* what, const char* install, const char* command) {
  return QStringLiteral(
             "%1が見つかりません。\n%2をインストールしてください。\n"
             "端末で次のように入力します:\n%3")
      .arg(QString::fromUtf8(what), QString::fromUtf8(install), QString::fromUtf8(command));
}
#endif

// The general escapes of a desktop file's string value; the others stay for the Exec quoting.
QString unescapeDesktopValue(const QString& value) {
  QString text;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] == u'\\' && i + 1 < value.size()) {
      const QChar next = value[i + 1];
      const char16_t plain = next == u's'    ? u' '
                             : next == u'n'  ? u'\n'
                             : next == u't'  ? u'\t'
                             : next == u'r'  ? u'\r'
                             : next == u'\\' ? u'\\'
                                             : 0;
      if (plain != 0) {
        text += QChar(plain);
        ++i;
        continue;
      }
    }
    text += value[i];
  }
  return text;
}

}  // namespace

std::optional<QStringList> splitExecLine(const QString& exec) {
  QStringList arguments;
  QString current;
  bool inArgument = false;  // something but a field code was seen
  bool quoted = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec[i];
    if (quoted) {
      if (c == u'\\' && i + 1 < exec.size() && QStringView(u"\"`$\\").contains(exec[i + 1])) {
        current += exec[++i];
      } else if (c == u'"') {
        quoted = false;
      } else {
        current += c;
      }
      continue;
    }
    if (c == u'"') {
      quoted = true;
      inArgument = true;
    } else if (c == u' ' || c == u'\t' || c == u'\n') {
      if (inArgument) arguments.append(current);
      current.clear();
      inArgument = false;
    } else if (c == u'%' && i + 1 < exec.size()) {
      // %% is a percent sign; the field codes stand for files, URLs, the icon, the name and
      // the desktop file, none of which is passed here.
      if (exec[++i] == u'%') {
        current += u'%';
        inArgument = true;
      }
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (quoted) return std::nullopt;
  if (inArgument) arguments.append(current);
  return arguments;
}

std::optional<DesktopCommand> desktopEntryCommand(const QString& desktopFile) {
  DesktopCommand command;
  QString exec;
  bool inEntry = false;
  for (const QString& rawLine : desktopFile.split(u'\n')) {
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    if (line.startsWith(u'[')) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inEntry) continue;
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0) continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QLatin1String("Exec")) exec = unescapeDesktopValue(value);
    if (key == QLatin1String("Terminal")) command.terminal = value == QLatin1String("true");
    if (key == QLatin1String("Hidden") && value == QLatin1String("true")) return std::nullopt;
  }
  const std::optional<QStringList> arguments = splitExecLine(exec);
  if (!arguments || arguments->isEmpty() || arguments->first().isEmpty()) return std::nullopt;
  command.arguments = *arguments;
  return command;
}

std::optional<DesktopCommand> queryDefaultTextEditor() {
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (xdgMime.isEmpty()) return std::nullopt;
  QProcess query;
  query.start(xdgMime,
              {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished();
    return std::nullopt;
  }
  if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return std::nullopt;
  const QString id = QString::fromUtf8(query.readAllStandardOutput()).section(u';', 0, 0).trimmed();
  if (!id.endsWith(QLatin1String(".desktop")) || id.contains(u'/')) return std::nullopt;
  // A desktop file id names a file in an applications folder; a "-" in it may stand for a
  // subfolder (kde4-kate.desktop is kde4/kate.desktop).
  QStringList names{id};
  QString name = id;
  for (qsizetype dash = name.indexOf(u'-'); dash > 0; dash = name.indexOf(u'-', dash + 1)) {
    name[dash] = u'/';
    names.append(name);
  }
  for (const QString& folder :
       QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
    for (const QString& candidate : names) {
      QFile file(QDir(folder).filePath(candidate));
      if (!file.open(QIODevice::ReadOnly)) continue;
      return desktopEntryCommand(QString::fromUtf8(file.readAll()));
    }
  }
  return std::nullopt;
}

LaunchPlan planLaunch(ExternalProgram which,
                      const std::function<QString(const QString&)>& findExecutable,
                      const QString& homeFolder,
                      const std::function<std::optional<DesktopCommand>()>& defaultTextEditor) {
#ifdef Q_OS_WIN
  Q_UNUSED(findExecutable);
  Q_UNUSED(homeFolder);
  Q_UNUSED(defaultTextEditor);
  switch (which) {
    case ExternalProgram::TextEditor:
      return {QStringLiteral("notepad.exe"), {}, {}};
    case ExternalProgram::FileBrowser:
      return {QStringLiteral("Explorer.exe"), {}, {}};
    case ExternalProgram::Paint:
      return {QStringLiteral("Pbrush.exe"), {}, {}};
  }
  return {};
#else
  switch (which) {
    case ExternalProgram::TextEditor:
      if (auto editor = desktopTextEditor(findExecutable, defaultTextEditor)) return *editor;
      return firstInstalled({{"gnome-text-editor", false},
                             {"gedit", false},
                             {"mousepad", false},
                             {"kate", false},
                             {"kwrite", false},
                             {"xed", false},
                             {"pluma", false},
                             {"featherpad", false},
                             {"leafpad", false}},
                            findExecutable, homeFolder,
                            installHint("テキストエディタ", "gedit などのテキストエディタ",
                                        "sudo apt install gedit"));
    case ExternalProgram::FileBrowser:
      return firstInstalled(
          {{"xdg-open", true},
           {"nautilus", true},
           {"dolphin", true},
           {"thunar", true},
           {"nemo", true},
           {"caja", true},
           {"pcmanfm", true}},
          findExecutable, homeFolder,
          installHint("ファイルブラウザ", "xdg-utils とファイルマネージャ（nautilus など）",
                      "sudo apt install xdg-utils nautilus"));
    case ExternalProgram::Paint:
      return firstInstalled({{"kolourpaint", false},
                             {"pinta", false},
                             {"drawing", false},
                             {"mtpaint", false},
                             {"gimp", false},
                             {"krita", false}},
                            findExecutable, homeFolder,
                            installHint("お絵かきソフト", "kolourpaint などのお絵かきソフト",
                                        "sudo apt install kolourpaint"));
  }
  return {};
#endif
}

QString startFailedMessage(const QString& program) {
  return QStringLiteral("「%1」を起動できませんでした。").arg(QDir::toNativeSeparators(program));
}

void startProgram(Platform& platform, ExternalProgram which) {
  const LaunchPlan plan = planLaunch(
      which, [](const QString& name) { return QStandardPaths::findExecutable(name); },
      QDir::homePath(), queryDefaultTextEditor);
  if (plan.program.isEmpty()) {
    warn(platform, plan.missingMessage);
    return;
  }
  if (!platform.startProgram(plan.program, plan.arguments)) {
    warn(platform, startFailedMessage(plan.program));
  }
}
