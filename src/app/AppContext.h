#pragma once

#include <QPointer>
#include <functional>

#include "shared/Platform.h"
#include "shared/SharedState.h"

class StartupWindow;
class MainWindow;

// What the windows of one run share: the state, the platform, and the long-lived windows.
struct AppContext {
  SharedState& state;
  Platform& platform;

  // Form1 while it is loaded (shown at start, or hidden after its one-time reload).
  QPointer<StartupWindow> startupWindow;
  QPointer<MainWindow> mainWindow;

  // Ends the program at once.
  std::function<void()> quit;
};
