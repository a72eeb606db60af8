// The sync's speed with the real parts (Radicale on loopback, vdirsyncer, a keyring on the
// private session bus this runs on): the first sync of 5,000 entries into an empty calendar,
// then an incremental sync after one entry changed, both through `yotenna --sync`. After them
// the bridge alone on the same file, without the server: the program's own share of each (after,
// as the 5,000 files it removes at its end would slow the creation of the next 5,000 on ext4,
// which passes over inodes freed in the last minutes).
//   dbus-run-session -- bench_sync YOTENNA
//   bench_sync --bridge                      (the bridge alone)
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "exchange/VdirBridge.h"
#include "store/Cp932.h"
#include "support/SyncParts.h"

namespace {

constexpr int kEntries = 5000;

QByteArray dataFile(int changed) {
  QByteArray bytes;
  const QDate first(2026, 12, 31);
  for (int i = 0; i < kEntries; ++i) {
    const QDate date = first.addDays(-(i / 4));
    const QString subject =
        i == changed ? QStringLiteral("変更した予定") : QStringLiteral("予定%1").arg(i);
    bytes += *encodeCp932(QStringLiteral("\"%1\",\"%2\",\"内容%3\",0,0")
                              .arg(date.toString(QStringLiteral("yyyy/MM/dd")), subject)
                              .arg(i)) +
             "\r\n";
  }
  bytes += *encodeCp932(QStringLiteral("\"タイマ\",\"\",\"\",0,0")) + "\r\n";
  return bytes;
}

bool write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The bridge by itself: the data file into an empty folder, one entry changed here, one item
// changed there (as vdirsyncer brings it: a new file renamed over the old), nothing changed.
bool benchBridge() {
  QTemporaryDir folder;
  BridgeOptions options;
  options.dataFile = folder.filePath(QStringLiteral("bench.dat"));
  options.vdir = folder.filePath(QStringLiteral("vdir"));
  options.stateFile = folder.filePath(QStringLiteral("state.json"));
  options.now = QDateTime(QDate(2026, 12, 1), QTime(12, 0));
  options.zoneId = "Asia/Tokyo";
  if (!QDir().mkpath(options.vdir) || !write(options.dataFile, dataFile(-1))) return false;
  auto timed = [&](const char* what) {
    QElapsedTimer timer;
    timer.start();
    const BridgeReport report = bridgeVdir(options);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!report.status) {
      std::fprintf(stderr, "bridge: %s failed: %s\n", what, qPrintable(report.status.message()));
      return false;
    }
    std::printf("bridge: %-44s %8.3f s   %d written, %d records changed\n", what, seconds,
                report.itemsWritten, report.recordsChanged);
    return true;
  };
  if (!timed("5,000 entries into an empty folder")) return false;
  if (!write(options.dataFile, dataFile(2500)) || !timed("one entry changed here")) return false;
  QStringList names = QDir(options.vdir).entryList({QStringLiteral("*.ics")}, QDir::Files);
  if (names.isEmpty()) return false;
  const QString item = QDir(options.vdir).filePath(names.front());
  QFile read(item);
  if (!read.open(QIODevice::ReadOnly)) return false;
  QByteArray bytes = read.readAll();
  read.close();
  bytes.replace("SUMMARY:", "SUMMARY:電話 ");
  const QString temporary = item + QStringLiteral(".tmp");
  if (!write(temporary, bytes) || std::rename(qPrintable(temporary), qPrintable(item)) != 0 ||
      !timed("one item changed there")) {
    return false;
  }
  return timed("nothing changed");
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_sync YOTENNA | bench_sync --bridge\n");
    return 2;
  }
  const QString yotenna = QString::fromLocal8Bit(argv[1]);
  if (yotenna == u"--bridge") return benchBridge() ? 0 : 1;
  synctesting::SyncParts parts;
  if (const QString missing = parts.missing(); !missing.isEmpty()) {
    std::printf("sync: skipped (%s is missing)\n", qPrintable(missing));
    return benchBridge() ? 0 : 1;
  }
  if (const QString error = parts.start(); !error.isEmpty()) {
    std::fprintf(stderr, "sync: %s\n", qPrintable(error));
    return 1;
  }
  if (parts.phone(QStringLiteral(SYNC_PHONE), QStringLiteral("bench"), {QStringLiteral("make")})
          .code != 0) {
    std::printf("sync: skipped (python3-caldav cannot make the calendar)\n");
    return benchBridge() ? 0 : 1;
  }
  const QString file = parts.path(QStringLiteral("bench.dat"));
  if (!write(file, dataFile(-1))) return 1;
  const synctesting::Run setup = parts.run(
      yotenna,
      {QStringLiteral("--sync-setup"), file, QStringLiteral("--url"), parts.url(),
       QStringLiteral("--user"), synctesting::SyncParts::kUser, QStringLiteral("--password-stdin"),
       QStringLiteral("--calendar"), QStringLiteral("bench")},
      (synctesting::SyncParts::kPassword + u'\n').toUtf8());
  if (setup.code != 0) {
    std::fprintf(stderr, "sync: setup failed: %s\n", qPrintable(setup.err));
    return 1;
  }

  auto timedSync = [&](const char* what) {
    QElapsedTimer timer;
    timer.start();
    const synctesting::Run run =
        parts.run(yotenna, {QStringLiteral("--sync"), file}, {}, 60 * 60 * 1000);
    const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
    if (run.code != 0) {
      std::fprintf(stderr, "sync: %s failed: %s\n", what, qPrintable(run.err));
      return -1.0;
    }
    std::printf("sync: %-44s %8.2f s   %s\n", what, seconds, qPrintable(run.out.trimmed()));
    std::fflush(stdout);
    return seconds;
  };
  const double first = timedSync("first sync, 5,000 entries into an empty calendar");
  if (first < 0) return 1;
  if (!write(file, dataFile(2500))) return 1;
  const double incremental = timedSync("incremental sync, one entry changed");
  if (incremental < 0) return 1;
  const double nothing = timedSync("sync with nothing changed");
  if (nothing < 0) return 1;
  std::printf("sync: aims: first sync < 120 s (%s), incremental < 10 s (%s)\n",
              first < 120 ? "met" : "MISSED", incremental < 10 ? "met" : "MISSED");
  std::fflush(stdout);
  return benchBridge() ? 0 : 1;
}
