// A small command-line front to the data-file operations, so that tests can run them in other
// processes: under strace (failing or killing them at a chosen system call), as another user,
// or several at once.
//   store_tool [--temporary-suffix S] purge FILE YYYY-MM-DD YYYY-MM-DDTHH:MM
//   store_tool [--temporary-suffix S] create FILE
// --temporary-suffix names the temporary file "ダミー００.yotenna-S", so that a fault can be
// aimed at it.
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

#include "store/AtomicFile.h"
#include "store/Purge.h"
#include "store/Rewrite.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
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
  }
  if (!status) {
    std::fprintf(stderr, "%s\n", status.message().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
