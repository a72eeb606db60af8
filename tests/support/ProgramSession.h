#pragma once
// One run of the whole program (start-up window, hand-over, main window) against the fake
// platform.

#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/StartupWindow.h"
#include "support/FakePlatform.h"
#include "ui/AppContext.h"

struct ProgramSession {
  FakePlatform platform;
  SharedState state;
  int quits = 0;
  AppContext context{state, platform, [this] { ++quits; }};
  Program program{context};

  StartupWindow* start() {
    program.start();
    return program.startupWindow();
  }
  MainWindow* main() const { return program.mainWindow(); }
};
