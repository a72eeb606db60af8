#include "app/ExternalPrograms.h"

#include <QDir>

namespace {

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

}  // namespace

LaunchPlan planLaunch(ExternalProgram which,
                      const std::function<QString(const QString&)>& findExecutable,
                      const QString& homeFolder) {
#ifdef Q_OS_WIN
  Q_UNUSED(findExecutable);
  Q_UNUSED(homeFolder);
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
                            QStringLiteral("テキストエディタが見つかりません。\n"
                                           "gedit などのテキストエディタをインストールしてください"
                                           "（例: sudo apt install gedit）。"));
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
          QStringLiteral("ファイルブラウザが見つかりません。\n"
                         "xdg-utils とファイルマネージャ（nautilus など）をインストールしてください"
                         "（例: sudo apt install xdg-utils nautilus）。"));
    case ExternalProgram::Paint:
      return firstInstalled({{"kolourpaint", false},
                             {"pinta", false},
                             {"drawing", false},
                             {"mtpaint", false},
                             {"gimp", false},
                             {"krita", false}},
                            findExecutable, homeFolder,
                            QStringLiteral("お絵かきソフトが見つかりません。\n"
                                           "kolourpaint などをインストールしてください"
                                           "（例: sudo apt install kolourpaint）。"));
  }
  return {};
#endif
}

QString startFailedMessage(const QString& program) {
  return QStringLiteral("「%1」を起動できませんでした。").arg(QDir::toNativeSeparators(program));
}
