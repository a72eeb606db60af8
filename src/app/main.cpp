#include <QApplication>

#include "app/CommandLine.h"
#include "app/DesktopIntegration.h"
#include "app/DesktopPlatform.h"
#include "app/Program.h"
#include "app/QtPlatformChoice.h"
#include "app/SyncCommandLine.h"
#include "shared/Version.h"
#include "ui/Accessibility.h"
#include "ui/AppContext.h"
#include "ui/MarkSettings.h"
#include "ui/UiSupport.h"

int main(int argc, char* argv[]) {
  // --sync and --sync-setup run without a window.
  if (const std::optional<int> status = runSyncCommandLine(argc, argv)) return *status;
  // Before the application connects to the display: on GNOME's Wayland session, Xwayland.
  chooseQtPlatform();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yotenna"));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
  // The installed desktop entry: Wayland compositors find the icon and name through it.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.yotenna.yotenna"));
  QApplication::setWindowIcon(applicationIcon());
  // Before the windows' Japanese: the help and the mistakes speak the locale's language.
  const QString file = readCommandLine(app);
  installJapaneseLanguage(app);
  installAccessibleInterfaces();

  DesktopPlatform platform;
  SharedState state;
  AppContext context{state, platform, [] { QApplication::exit(0); }};
  context.shownMarks = loadShownMarks();
  context.keepShownMarks = [](int kinds) { saveShownMarks(kinds); };

  Program program(context);
  if (!program.start(file)) return 0;
  return QApplication::exec();
}
