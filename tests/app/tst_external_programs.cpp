#include <QTest>

#include "app/ExternalPrograms.h"

class ExternalProgramsTest : public QObject {
  Q_OBJECT

  // A PATH holding just the named programs.
  static std::function<QString(const QString&)> installed(const QStringList& names) {
    return [names](const QString& name) {
      return names.contains(name) ? "/usr/bin/" + name : QString();
    };
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

  void nothingInstalledSaysWhatToInstall_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("hint");
    QTest::newRow("editor") << int(ExternalProgram::TextEditor) << "apt install gedit";
    QTest::newRow("browser") << int(ExternalProgram::FileBrowser) << "apt install xdg-utils";
    QTest::newRow("paint") << int(ExternalProgram::Paint) << "apt install kolourpaint";
  }
  void nothingInstalledSaysWhatToInstall() {
    QFETCH(int, which);
    QFETCH(QString, hint);
    const LaunchPlan plan = planLaunch(static_cast<ExternalProgram>(which), installed({}), "/h");
    QVERIFY(plan.program.isEmpty());
    QVERIFY2(plan.missingMessage.contains(hint), qPrintable(plan.missingMessage));
    QVERIFY(plan.missingMessage.contains("インストールしてください"));
  }
};

QTEST_GUILESS_MAIN(ExternalProgramsTest)
#include "tst_external_programs.moc"
