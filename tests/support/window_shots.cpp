// Shows each window of the program with sample data and saves a screenshot of the whole
// (virtual) screen for each. Run through scripts/screenshots.sh, under Xvfb.
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "app/MainWindow.h"
#include "app/StartupWindow.h"
#include "app/UiSupport.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"

namespace {

void settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void shoot(const QString& folder, const QString& name) {
  settle(600);
  const QString target = QDir(folder).filePath(name + ".png");
  QProcess::execute("sh", {"-c", "xwd -root -silent | convert xwd:- '" + target + "'"});
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  installJapaneseLanguage(app);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
  QDir().mkpath(folder);

  FakePlatform platform;
  platform.clock = QDateTime(QDate(2001, 5, 3), QTime(7, 30, 0));
  SharedState state;
  AppContext context{state, platform, {}, {}, [] {}};

  auto* startup = new StartupWindow(context);
  context.startupWindow = startup;
  startup->load();
  startup->show();
  shoot(folder, "form1-startup");
  delete startup;
  return 0;
}
