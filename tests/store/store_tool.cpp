// A small command-line front to the data-file rewrite, so that tests can run it under
// strace (failing or killing it at a chosen system call) or as another user.
//   store_tool purge FILE YYYY-MM-DD YYYY-MM-DDTHH:MM
//   store_tool create FILE
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

#include "store/Purge.h"
#include "store/Rewrite.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  Status status = Status::failure(QStringLiteral("usage: store_tool purge|create FILE ..."));
  if (args.size() == 5 && args[1] == QLatin1String("purge")) {
    status = purgeDataFile(args[2], QDate::fromString(args[3], Qt::ISODate),
                           QDateTime::fromString(args[4], Qt::ISODate));
  } else if (args.size() == 3 && args[1] == QLatin1String("create")) {
    status = createDataFile(args[2]);
  }
  if (!status) {
    std::fprintf(stderr, "%s\n", status.message().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
