// libFuzzer target: the search's folding and matching. The input is split at its first NUL
// byte into a search text (UTF-8) and a data file (CP932 bytes). Folding never crashes, is
// stable (folding folded text changes nothing) and the search over the file lists exactly the
// records whose folded subject holds the folded text.
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>

#include "dialogs/Search.h"
#include "store/DataFileScan.h"

namespace {

QString scratchFile() {
  const QString folder = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  return QStringLiteral("%1/yotenna-fuzz-search-%2.dat").arg(folder).arg(::getpid());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const qsizetype split = input.indexOf('\0');
  const QString text = QString::fromUtf8(split < 0 ? input : input.left(split));
  const QByteArray file = split < 0 ? QByteArray() : input.mid(split + 1);

  const QString folded = foldForSearch(text);
  if (foldForSearch(folded) != folded) std::abort();

  static const QString path = scratchFile();
  {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    out.write(file);
  }
  const SearchResult result = searchSchedule(path, SearchBySubject, text);
  if (text.isEmpty()) return 0;
  QList<ScheduleRecord> expected;
  const Status status = scanSchedule(path, [&](const ScheduleRecord& record) {
    if (foldForSearch(record.Subject.toText()).contains(folded)) expected.append(record);
    return true;
  });
  if (status.isOk() != result.status.isOk()) std::abort();
  if (status.isOk() && !(result.records == expected)) std::abort();
  return 0;
}
