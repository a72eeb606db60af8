#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/DesktopPlatform.h"
#include "app/ExternalPrograms.h"
#include "support/TestFiles.h"

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const QByteArray& value)
      : name_(name), saved_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value);
  }
  ~ScopedEnvironment() {
    if (had_) {
      qputenv(name_, saved_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  QByteArray saved_;
  bool had_;
};

void writeExecutable(const QString& path, const QByteArray& script) {
  writeBytes(path, script);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace

class ExternalProgramsTest : public QObject {
  Q_OBJECT

  // A PATH holding just the named programs.
  static std::function<QString(const QString&)> installed(const QStringList& names) {
    return [names](const QString& name) {
      if (name.startsWith('/')) return names.contains(name) ? name : QString();
      return names.contains(name) ? "/usr/bin/" + name : QString();
    };
  }
  static std::function<std::optional<DesktopCommand>()> desktopDefault(const QStringList& command,
                                                                       bool terminal = false) {
    return [command, terminal] { return std::optional<DesktopCommand>({command, terminal}); };
  }

 private slots:
  void picksTheFirstInstalledProgram() {
    const LaunchPlan editor =
        planLaunch(ExternalProgram::TextEditor, installed({"kate", "mousepad"}), "/home/u");
    QCOMPARE(editor.program, "/usr/bin/mousepad");
    QVERIFY(editor.arguments.isEmpty());

    const LaunchPlan browser =
        planLaunch(ExternalProgram::FileBrowser, installed({"xdg-open", "thunar"}), "/home/u");
    QCOMPARE(browser.program, "/usr/bin/xdg-open");
    QCOMPARE(browser.arguments, QStringList({"/home/u"}));

    const LaunchPlan paint = planLaunch(ExternalProgram::Paint, installed({"gimp"}), "/home/u");
    QCOMPARE(paint.program, "/usr/bin/gimp");
  }

  void theDesktopsTextEditorComesFirst_data() {
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QStringList>("installedPrograms");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("installed") << QStringList{"gnome-text-editor", "--new-window"} << false
                               << QStringList{"gnome-text-editor", "gedit"}
                               << "/usr/bin/gnome-text-editor" << QStringList{"--new-window"};
    QTest::newRow("by its full path")
        << QStringList{"/opt/edit/bin/edit"} << false << QStringList{"/opt/edit/bin/edit", "gedit"}
        << "/opt/edit/bin/edit" << QStringList{};
    QTest::newRow("not installed: the fixed list")
        << QStringList{"featherpad-old"} << false << QStringList{"gedit"} << "/usr/bin/gedit"
        << QStringList{};
    QTest::newRow("a terminal program in the desktop's terminal")
        << QStringList{"vim"} << true << QStringList{"vim", "x-terminal-emulator", "gedit"}
        << "/usr/bin/x-terminal-emulator" << QStringList{"-e", "/usr/bin/vim"};
    QTest::newRow("a terminal program without a terminal: the fixed list")
        << QStringList{"vim"} << true << QStringList{"vim", "gedit"} << "/usr/bin/gedit"
        << QStringList{};
  }
  void theDesktopsTextEditorComesFirst() {
    QFETCH(QStringList, command);
    QFETCH(bool, terminal);
    QFETCH(QStringList, installedPrograms);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    const LaunchPlan plan = planLaunch(ExternalProgram::TextEditor, installed(installedPrograms),
                                       "/home/u", desktopDefault(command, terminal));
    QCOMPARE(plan.program, program);
    QCOMPARE(plan.arguments, arguments);
  }

  void noDesktopDefaultMeansTheFixedList() {
    const LaunchPlan plan = planLaunch(ExternalProgram::TextEditor, installed({"kate"}), "/h",
                                       [] { return std::optional<DesktopCommand>(); });
    QCOMPARE(plan.program, "/usr/bin/kate");
  }

  void execLinesSplitByTheDesktopEntryRules_data() {
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::newRow("file field code") << "gedit %U" << QStringList{"gedit"} << true;
    QTest::newRow("option kept") << "gnome-text-editor --new-window %U"
                                 << QStringList{"gnome-text-editor", "--new-window"} << true;
    QTest::newRow("quoted path with a blank")
        << "\"/opt/My Editor/edit\" --line=1 %f" << QStringList{"/opt/My Editor/edit", "--line=1"}
        << true;
    QTest::newRow("escapes inside quotes")
        << "sh -c \"echo \\\"a b\\\" \\$X \\\\ \\`\""
        << QStringList{"sh", "-c", "echo \"a b\" $X \\ `"} << true;
    QTest::newRow("percent sign") << "calc 100%%" << QStringList{"calc", "100%"} << true;
    QTest::newRow("icon, name and file codes dropped")
        << "code --icon %i %c %k" << QStringList{"code", "--icon"} << true;
    QTest::newRow("empty quoted argument") << "edit \"\"" << QStringList{"edit", ""} << true;
    QTest::newRow("runs of blanks") << "  edit   -a  " << QStringList{"edit", "-a"} << true;
    QTest::newRow("unclosed quote") << "edit \"file" << QStringList{} << false;
  }
  void execLinesSplitByTheDesktopEntryRules() {
    QFETCH(QString, exec);
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    const std::optional<QStringList> split = splitExecLine(exec);
    QCOMPARE(split.has_value(), valid);
    if (valid) QCOMPARE(*split, arguments);
  }

  void desktopFilesGiveTheirEntrysCommand_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("terminal");
    QTest::newRow("entry, not the action")
        << "# comment\n[Desktop Entry]\nName=Edit\nExec=\"/opt/My\\sEditor/edit\" -n %F\n"
           "Terminal=false\n\n[Desktop Action new]\nExec=other\n"
        << QStringList{"/opt/My Editor/edit", "-n"} << false;
    QTest::newRow("terminal program") << "[Desktop Entry]\nExec=vim %F\nTerminal=true\n"
                                      << QStringList{"vim"} << true;
    QTest::newRow("a literal backslash takes four")
        << "[Desktop Entry]\nExec=sh -c \"echo \\\\\\\\\"\n"
        << QStringList{"sh", "-c", "echo \\"} << false;
    QTest::newRow("hidden") << "[Desktop Entry]\nExec=edit\nHidden=true\n"
                            << QStringList{} << false;
    QTest::newRow("no entry group") << "[Desktop Action new]\nExec=edit\n"
                                    << QStringList{} << false;
    QTest::newRow("only a field code") << "[Desktop Entry]\nExec=%f\n" << QStringList{} << false;
  }
  void desktopFilesGiveTheirEntrysCommand() {
    QFETCH(QString, file);
    QFETCH(QStringList, arguments);
    QFETCH(bool, terminal);
    const std::optional<DesktopCommand> command = desktopEntryCommand(file);
    QCOMPARE(command.has_value(), !arguments.isEmpty());
    if (!command) return;
    QCOMPARE(command->arguments, arguments);
    QCOMPARE(command->terminal, terminal);
  }

  void theDefaultComesFromXdgMime_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("desktopFile");  // under applications/
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain id") << QByteArray("myedit.desktop\n") << "myedit.desktop"
                              << QStringList{"myedit", "--new"};
    QTest::newRow("a dash for a subfolder")
        << QByteArray("kde4-myedit.desktop\n") << "kde4/myedit.desktop"
        << QStringList{"myedit", "--new"};
    QTest::newRow("no default") << QByteArray("\n") << "myedit.desktop" << QStringList{};
    QTest::newRow("not a file name")
        << QByteArray("../applications/myedit.desktop\n") << "myedit.desktop" << QStringList{};
  }
  void theDefaultComesFromXdgMime() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, desktopFile);
    QFETCH(QStringList, arguments);
    QTemporaryDir root;
    QDir(root.path()).mkpath("bin");
    QDir(root.path()).mkpath("share/applications/kde4");
    writeExecutable(root.filePath("bin/xdg-mime"),
                    "#!/bin/sh\n[ \"$*\" = 'query default text/plain' ] || exit 2\nprintf '" +
                        answer.replace("\n", "\\n") + "'\n");
    writeBytes(root.filePath("share/applications/" + desktopFile),
               "[Desktop Entry]\nType=Application\nExec=myedit --new %U\n");
    ScopedEnvironment path("PATH", QFile::encodeName(root.filePath("bin")) + ":/usr/bin:/bin");
    ScopedEnvironment dataHome("XDG_DATA_HOME", QFile::encodeName(root.filePath("share")));
    ScopedEnvironment dataDirs("XDG_DATA_DIRS", QFile::encodeName(root.filePath("none")));
    const std::optional<DesktopCommand> command = queryDefaultTextEditor();
    QCOMPARE(command.has_value(), !arguments.isEmpty());
    if (command) QCOMPARE(command->arguments, arguments);
  }

  void nothingInstalledSaysWhatToInstall_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("command");
    QTest::newRow("editor") << int(ExternalProgram::TextEditor) << "sudo apt install gedit";
    QTest::newRow("browser") << int(ExternalProgram::FileBrowser)
                             << "sudo apt install xdg-utils nautilus";
    QTest::newRow("paint") << int(ExternalProgram::Paint) << "sudo apt install kolourpaint";
  }
  void nothingInstalledSaysWhatToInstall() {
    QFETCH(int, which);
    QFETCH(QString, command);
    const LaunchPlan plan = planLaunch(static_cast<ExternalProgram>(which), installed({}), "/h");
    QVERIFY(plan.program.isEmpty());
    QVERIFY(plan.missingMessage.contains("インストールしてください"));
    // The command stands on a line of its own...
    const QStringList lines = plan.missingMessage.split('\n');
    QVERIFY2(lines.contains(command), qPrintable(plan.missingMessage));
    // ...and the message box is wide enough for that line, so it is never broken in two.
    DesktopPlatform platform;
    int labelWidth = 0;
    int commandWidth = 0;
    QTimer::singleShot(0, this, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      auto* label = box->findChild<QLabel*>("qt_msgbox_label");
      QVERIFY(label);
      QCOMPARE(label->text(), plan.missingMessage);
      labelWidth = label->contentsRect().width();
      for (const QString& line : label->text().split('\n')) {
        if (line.contains(command)) commandWidth = label->fontMetrics().horizontalAdvance(line);
      }
      box->accept();
    });
    platform.messageBox(plan.missingMessage, "Yotenna", MessageIcon::Warning, MessageButtons::Ok);
    QVERIFY(commandWidth > 0);
    QVERIFY2(commandWidth <= labelWidth,
             qPrintable(QStringLiteral("%1 of %2 pixels").arg(commandWidth).arg(labelWidth)));
  }
};

QTEST_MAIN(ExternalProgramsTest)
#include "tst_external_programs.moc"
