#include <QApplication>

#include "app/DesktopPlatform.h"
#include "app/Program.h"
#include "ui/AppContext.h"
#include "ui/UiSupport.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yotenna"));
  installJapaneseLanguage(app);

  DesktopPlatform platform;
  SharedState state;
  AppContext context{state, platform, [] { QApplication::exit(0); }};

  Program program(context);
  if (!program.start()) return 0;
  return QApplication::exec();
}
