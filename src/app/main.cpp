#include <QApplication>

#include "app/AppContext.h"
#include "app/DesktopPlatform.h"
#include "app/StartupWindow.h"
#include "app/UiSupport.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yotenna"));
  installJapaneseLanguage(app);

  DesktopPlatform platform;
  SharedState state;
  AppContext context{state, platform, [] { QApplication::exit(0); }};

  auto* startup = new StartupWindow(context);
  context.startupWindow = startup;
  if (!startup->load()) return 0;
  startup->show();
  return QApplication::exec();
}
