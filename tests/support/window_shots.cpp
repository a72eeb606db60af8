// Shows each window of the program with sample data and saves a screenshot of the whole
// (virtual) screen for each. Run through scripts/screenshots.sh, under Xvfb.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "alarm/AlarmPopup.h"
#include "app/DateDialog.h"
#include "app/MainWindow.h"
#include "app/StartupWindow.h"
#include "app/UiSupport.h"
#include "editor/EditorWindow.h"
#include "dialogs/SearchWindow.h"
#include "dialogs/UsageHelpWindow.h"
#include "dialogs/VersionWindow.h"
#include "store/Cp932.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"

namespace {

void settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// Takes a picture of the whole screen. Under Xvfb a window that overlaps another one is
// captured black, so the windows listed are painted over the capture from their own
// rendering, at their place on the screen.
void shoot(const QString& folder, const QString& name, const QList<QWidget*>& onTop = {}) {
  settle(800);
  const QString target = QDir(folder).filePath(name + ".png");
  QProcess::execute("sh", {"-c", "xwd -root -silent | convert xwd:- '" + target + "'"});
  for (QWidget* window : onTop) {
    const QString overlay = QDir(folder).filePath(name + "-overlay.png");
    window->grab().save(overlay);
    const QPoint place = window->mapToGlobal(QPoint(0, 0));
    QProcess::execute(
        "convert", {target, overlay, "-geometry",
                    QStringLiteral("+%1+%2").arg(place.x()).arg(place.y()), "-composite", target});
    QFile::remove(overlay);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  installJapaneseLanguage(app);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
  QDir().mkpath(folder);

  FakePlatform platform;
  // Half a minute past the sample daily timer, so it does not go off over the pictures.
  platform.clock = QDateTime(QDate(2001, 5, 3), QTime(7, 30, 30));
  SharedState state;
  AppContext context{state, platform, [] {}};

  auto* startup = new StartupWindow(context);
  context.startupWindow = startup;
  startup->load();
  startup->show();
  shoot(folder, "form1-startup");
  delete startup;

  // A data file with entries on several days of May 2001 and two timers.
  QTemporaryDir dir;
  state.CurrentDataFile = dir.filePath("sample.dat");
  auto cp932 = [](const char* utf8) {
    return encodeCp932(QString::fromUtf8(utf8)).value_or(QByteArray());
  };
  auto entry = [&](const char* date, const char* subject, const char* content, int done) {
    return "\"" + QByteArray(date) + "\",\"" + cp932(subject) + "\",\"" + cp932(content) + "\"," +
           QByteArray::number(done) + ",0\r\n";
  };
  writeBytes(
      state.CurrentDataFile,
      entry("2001/05/25", "歯医者", "午後3時", 0) + entry("2001/05/20", "買い物", "", 0) +
          entry("2001/05/15", "会議", "第2会議室", 0) + entry("2001/05/10", "レポート提出", "", 1) +
          entry("2001/05/03", "家族で公園", "お弁当を持って", 0) +
          entry("2001/05/03", "日記を書く", "", 1) + entry("2001/05/01", "月初め", "", 0) +
          kMarkerLine + "\"" + cp932("朝の散歩") +
          "\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n\"" + cp932("ゴミ出し") + "\",\"1\",\"" +
          cp932("月") + "\",\"\",\"\",\"08\",\"00\",\"/home/user/gomi.png\"\r\n");
  state.SelYear = 2001;
  state.SelMonth = 5;
  state.SelDay = 3;
  state.MonthDays[0] = 1;
  MainWindow main(context);
  context.mainWindow = &main;
  main.show();
  shoot(folder, "form2-main");
  main.setDisplayMode(0);
  shoot(folder, "form2-compact");
  main.setDisplayMode(2);
  shoot(folder, "form2-full");
  main.setDisplayMode(1);

  {
    EditorWindow editor(context, main, &main);
    editor.prepareNewEntry(QStringLiteral("2001/05/03(木)の予定"));
    editor.show();
    shoot(folder, "form5-editor-new", {&editor});
  }
  {
    EditorWindow editor(context, main, &main);
    editor.openTimerRow({QStringLiteral("朝の散歩"), QStringLiteral("毎日"), QString(),
                         QStringLiteral("07:30"), QString()});
    editor.show();
    shoot(folder, "form5-editor-timer", {&editor});
  }
  {
    DateDialog dialog(context, main);
    dialog.show();
    shoot(folder, "form3-date", {&dialog});
  }

  // The search and the help-menu windows, over the main window as the user sees them.
  {
    SearchWindow search(context, main, &main);
    search.findChild<QAbstractButton*>("Option1(2)")->click();
    search.startSearch();
    search.findChild<QAbstractButton*>("Option1(0)")->click();
    search.show();
    shoot(folder, "form6-search", {&search});
  }
  {
    UsageHelpWindow help(context, main, &main);
    help.show();
    shoot(folder, "form7-usage", {&help});
  }
  {
    VersionWindow about(context, main, &main);
    about.show();
    shoot(folder, "frmabout-version", {&about});
  }
  {
    // The alarm pop-up of a late alarm, with the start-up picture standing in for the user's.
    AlarmPopup popup(context, main);
    popup.load();
    popup.setPicture(QImage(QStringLiteral(":/images/startup.png")));
    popup.setTitle(QStringLiteral("朝の散歩"));
    popup.setDueNotice(QStringLiteral("07:30 の予定です"));
    popup.show();
    shoot(folder, "form4-alarm", {&popup});
  }
  return 0;
}
