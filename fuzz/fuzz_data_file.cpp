// libFuzzer target: any bytes as a data file. The readers must neither crash nor hang, and
// copying what was read must be stable: a copy of a copy is byte-identical to the copy.
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>

#include "store/DataFileScan.h"

namespace {

QString scratchFile() {
  const QString folder = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  return QStringLiteral("%1/yotenna-fuzz-%2.dat").arg(folder).arg(::getpid());
}

void store(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
  file.write(bytes);
}

// Reads the file the way every rewrite does and returns what an unchanged copy writes.
QByteArray copyOf(const QString& path) {
  QByteArray out;
  if (!scanSchedule(path, [&](const ScheduleRecord& r) {
        out += encodeLine(r.fields());
        return true;
      })) {
    return {};
  }
  out += encodeLine(TimerMarker::fields());
  if (!scanTimers(path, [&](const TimerRecord& r) { out += encodeLine(r.fields()); })) return {};
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = scratchFile();
  store(path, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

  int seen = 0;
  (void)scanMonth(path, 2001, 5, [&](const ScheduleRecord&) { ++seen; });
  (void)scanTimers(path, [&](const TimerRecord& r) {
    seen += static_cast<int>(r.TimerTitle.toText().size() > 0);
  });

  const QByteArray copy = copyOf(path);
  if (copy.isEmpty()) return 0;  // unreadable input: nothing would be written
  store(path, copy);
  if (copyOf(path) != copy) std::abort();
  return 0;
}
