// The sync's speed with the real parts (Radicale on loopback, vdirsyncer, a keyring on the
// private session bus this runs on): the first sync of 5,000 entries into an empty calendar,
// then an incremental sync after one entry changed, both through `yotenna --sync`.
//   dbus-run-session -- bench_sync YOTENNA
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

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

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_sync YOTENNA\n");
    return 2;
  }
  const QString yotenna = QString::fromLocal8Bit(argv[1]);
  synctesting::SyncParts parts;
  if (const QString missing = parts.missing(); !missing.isEmpty()) {
    std::printf("sync: skipped (%s is missing)\n", qPrintable(missing));
    return 0;
  }
  if (const QString error = parts.start(); !error.isEmpty()) {
    std::fprintf(stderr, "sync: %s\n", qPrintable(error));
    return 1;
  }
  if (parts.phone(QStringLiteral(SYNC_PHONE), QStringLiteral("bench"), {QStringLiteral("make")})
          .code != 0) {
    std::printf("sync: skipped (python3-caldav cannot make the calendar)\n");
    return 0;
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
  return 0;
}
