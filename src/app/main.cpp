#include <QApplication>
#include <QCommandLineParser>

#include "app/DesktopIntegration.h"
#include "app/DesktopPlatform.h"
#include "app/Program.h"
#include "app/SyncCommandLine.h"
#include "shared/Version.h"
#include "ui/Accessibility.h"
#include "ui/AppContext.h"
#include "ui/UiSupport.h"

int main(int argc, char* argv[]) {
  // --sync and --sync-setup run without a window.
  if (const std::optional<int> status = runSyncCommandLine(argc, argv)) return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yotenna"));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
  // The installed desktop entry: Wayland compositors find the icon and name through it.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.yotenna.yotenna"));
  QApplication::setWindowIcon(applicationIcon());
  installJapaneseLanguage(app);
  installAccessibleInterfaces();

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("予定とタイマーの Yotenna"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("開くデータファイル（省略すると起動画面から選びます）"),
      QStringLiteral("[FILE]"));
  parser.process(app);
  const QStringList files = parser.positionalArguments();

  DesktopPlatform platform;
  SharedState state;
  AppContext context{state, platform, [] { QApplication::exit(0); }};

  Program program(context);
  if (!program.start(files.value(0))) return 0;
  return QApplication::exec();
}
