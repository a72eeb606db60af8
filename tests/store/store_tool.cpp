// A small command-line front to the data-file operations, so that tests can run them in other
// processes: under strace (failing or killing them at a chosen system call), as another user,
// or several at once.
//   store_tool [--temporary-suffix S] purge FILE YYYY-MM-DD YYYY-MM-DDTHH:MM
//   store_tool [--temporary-suffix S] create FILE
//   store_tool add FILE PREFIX COUNT   adds COUNT schedule entries PREFIX0, PREFIX1, ... one by
//                                      one, as the editor's 追加 does
//   store_tool hold FILE MILLISECONDS  holds the data file's lock, says "held", waits, lets go
// --temporary-suffix names the temporary file "ダミー００.yotenna-S", so that a fault can be
// aimed at it; --kernel-copy has the kernel copy the unchanged bytes whatever the file system.
#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <cstdio>

#include "editor/ScheduleOperations.h"
#include "store/AtomicFile.h"
#include "store/DataFileLock.h"
#include "store/Purge.h"
#include "store/Rewrite.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  if (!args.isEmpty() && args[0] == QLatin1String("--kernel-copy")) {
    storetesting::setKernelCopy(storetesting::KernelCopy::Always);
    args.remove(0, 1);
  }
  if (args.size() >= 2 && args[0] == QLatin1String("--temporary-suffix")) {
    storetesting::setTemporarySuffix(args[1]);
    args.remove(0, 2);
  }
  Status status = Status::failure(QStringLiteral("usage: store_tool purge|create FILE ..."));
  if (args.size() == 4 && args[0] == QLatin1String("purge")) {
    status = purgeDataFile(args[1], QDate::fromString(args[2], Qt::ISODate),
                           QDateTime::fromString(args[3], Qt::ISODate));
  } else if (args.size() == 2 && args[0] == QLatin1String("create")) {
    status = createDataFile(args[1]);
  } else if (args.size() == 4 && args[0] == QLatin1String("add")) {
    status = Status::success();
    for (int i = 0; i < args[3].toInt() && status; ++i) {
      ScheduleInput input;
      input.yearText = QStringLiteral("2024");
      input.monthText = QStringLiteral("05");
      input.dayText = QString::number(1 + i % 28);
      input.subject = args[2] + QString::number(i);
      const EditorResult result = addSchedule(args[1], input);
      if (result.outcome != EditorOutcome::Done) status = Status::failure(result.message->text);
    }
  } else if (args.size() == 3 && args[0] == QLatin1String("hold")) {
    const DataFileLock lock(args[1]);
    status = lock.status();
    if (lock.isHeld()) {
      std::printf("held\n");
      std::fflush(stdout);
      QThread::msleep(args[2].toULong());
    }
  }
  if (!status) {
    std::fprintf(stderr, "%s\n", status.message().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
