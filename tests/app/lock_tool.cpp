// Takes the single-instance lock as the program does, in a process of its own, so that tests
// can hold it, kill its holder, and run it as another user.
//   lock_tool try    prints what the lock answered and ends
//   lock_tool hold   the same, then keeps the lock until killed
// Prints "held", "busy" or "unavailable: <reason>", and the runtime folder as "folder: <path>".
#include <QCoreApplication>
#include <QThread>
#include <cstdio>

#include "app/DesktopPlatform.h"
#include "app/SingleInstanceLock.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QString mode = app.arguments().value(1);
  DesktopPlatform platform;
  const InstanceLock lock = platform.acquireSingleInstanceLock();
  switch (lock.state) {
    case InstanceLock::State::Held:
      std::printf("held\n");
      break;
    case InstanceLock::State::AnotherCopyRuns:
      std::printf("busy\n");
      break;
    case InstanceLock::State::Unavailable:
      std::printf("unavailable: %s\n", lock.reason.toUtf8().constData());
      break;
  }
  std::printf("folder: %s\n", privateRuntimeFolder().path.toUtf8().constData());
  std::fflush(stdout);
  if (mode == QLatin1String("hold") && lock.state == InstanceLock::State::Held) {
    for (;;) QThread::sleep(60);
  }
  return 0;
}
