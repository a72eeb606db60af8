#include "app/SyncCommandLine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

#include "exchange/SyncRunner.h"

namespace {

void printTo(FILE* stream, const QString& text) {
  const QByteArray bytes = (text + u'\n').toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
  std::fflush(stream);
}

int fail(const QString& text) {
  printTo(stderr, QStringLiteral("yotenna: ") + text);
  return 1;
}

QString usage() {
  return QStringLiteral(
      "使い方: yotenna --sync FILE\n"
      "        yotenna --sync-setup FILE --url URL --user USER --password-stdin "
      "[--calendar NAME]");
}

int runSync(const QString& dataFile) {
  if (!QFileInfo(dataFile).isFile()) {
    return fail(QStringLiteral("データファイル「%1」がありません。").arg(dataFile));
  }
  SyncRunner runner(dataFile);
  SyncOutcome outcome;
  QEventLoop loop;
  QObject::connect(&runner, &SyncRunner::finished, &loop, [&](const SyncOutcome& result) {
    outcome = result;
    loop.quit();
  });
  runner.startSync();
  if (runner.isRunning()) loop.exec();
  if (!outcome.ok) return fail(outcome.error);
  const BridgeReport& report = outcome.report;
  printTo(stdout, QStringLiteral("同期しました（データファイル: 追加 %1、変更 %2、削除 %3 件／"
                                 "サーバー: 書き込み %4、削除 %5 件）。")
                      .arg(report.recordsAdded)
                      .arg(report.recordsChanged)
                      .arg(report.recordsRemoved)
                      .arg(report.itemsWritten)
                      .arg(report.itemsRemoved));
  if (!report.conflicts.isEmpty()) printTo(stdout, conflictMessage(report.conflicts));
  return 0;
}

int runSetup(const QString& dataFile, const SyncSettings& wanted, const QString& calendar) {
  if (!QFileInfo(dataFile).isFile()) {
    return fail(QStringLiteral("データファイル「%1」がありません。").arg(dataFile));
  }
  QTextStream in(stdin);
  QString password = in.readLine();
  if (password.isEmpty()) return fail(QStringLiteral("標準入力からパスワードを読めません。"));
  if (const QString warning = plainHttpWarning(wanted.url); !warning.isEmpty()) {
    printTo(stderr, QStringLiteral("yotenna: 警告: ") + warning);
  }
  SyncRunner runner(dataFile);
  if (const QString missing = runner.missingPrograms(); !missing.isEmpty()) {
    return fail(QStringLiteral("%1 が入っていないため同期できません。「sudo apt install %1」で"
                               "入れてください。")
                    .arg(missing));
  }
  QEventLoop loop;
  QString error;
  QList<DiscoveredCalendar> calendars;
  QObject::connect(&runner, &SyncRunner::passwordStored, &loop, [&](bool ok, const QString& why) {
    if (!ok) error = why;
    loop.quit();
  });
  QObject::connect(&runner, &SyncRunner::discovered, &loop,
                   [&](const QList<DiscoveredCalendar>& found, const QString& why) {
                     calendars = found;
                     error = why;
                     loop.quit();
                   });
  runner.startStorePassword(password);
  password.fill(u' ');
  loop.exec();
  if (!error.isEmpty()) return fail(error);
  runner.startDiscovery(wanted);
  loop.exec();
  if (!error.isEmpty()) return fail(error);

  SyncSettings settings = wanted;
  if (!calendar.isEmpty()) {
    bool found = false;
    for (const DiscoveredCalendar& one : calendars) {
      if (one.name == calendar || one.displayName == calendar) {
        settings.calendar = one.name;
        found = true;
      }
    }
    if (!found) {
      return fail(QStringLiteral("カレンダー「%1」がサーバーに見つかりません。").arg(calendar));
    }
  } else if (calendars.isEmpty()) {
    return fail(QStringLiteral("サーバー %1 にカレンダーが見つかりません。"
                               "サーバーでカレンダーを作ってから、もう一度設定してください。")
                    .arg(wanted.url));
  } else if (calendars.size() == 1) {
    settings.calendar = calendars.front().name;
  } else if (calendars.size() > 1) {
    QStringList names;
    for (const DiscoveredCalendar& one : calendars) {
      names << (one.displayName.isEmpty()
                    ? one.name
                    : QStringLiteral("%1（%2）").arg(one.name, one.displayName));
    }
    return fail(QStringLiteral("カレンダーが %1 つあります。--calendar で選んでください: %2")
                    .arg(calendars.size())
                    .arg(names.join(QStringLiteral("、"))));
  }
  const SyncPaths& paths = runner.paths();
  // Another server or calendar: what was remembered of the old one no longer applies.
  const std::optional<SyncSettings> old = readSyncSettings(paths);
  if (old && (old->url != settings.url || old->calendar != settings.calendar ||
              old->user != settings.user)) {
    if (const Status removed = removeSyncSetup(paths); !removed) return fail(removed.message());
  }
  if (const Status written = writeSyncSettings(paths, settings); !written) {
    return fail(written.message());
  }
  printTo(
      stdout,
      QStringLiteral("同期を設定しました（カレンダー: %1）。「yotenna --sync %2」で同期します。")
          .arg(settings.calendar.isEmpty() ? settings.url : settings.calendar, dataFile));
  return 0;
}

}  // namespace

std::optional<int> runSyncCommandLine(int argc, char* argv[]) {
  bool wanted = false;
  for (int i = 1; i < argc; ++i) {
    const QByteArray word(argv[i]);
    if (word == "--sync" || word == "--sync-setup") wanted = true;
  }
  if (!wanted) return std::nullopt;
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Yotenna"));
  const QStringList words = QCoreApplication::arguments().mid(1);

  QString mode;
  QString dataFile;
  QString calendar;
  SyncSettings settings;
  bool passwordFromStdin = false;
  for (qsizetype i = 0; i < words.size(); ++i) {
    const QString& word = words[i];
    auto value = [&](QString* into) {
      if (i + 1 >= words.size()) return false;
      *into = words[++i];
      return true;
    };
    bool ok = true;
    if (word == u"--sync" || word == u"--sync-setup") {
      if (!mode.isEmpty()) return fail(usage());
      mode = word;
      ok = value(&dataFile);
    } else if (word == u"--url") {
      ok = value(&settings.url);
    } else if (word == u"--user") {
      ok = value(&settings.user);
    } else if (word == u"--calendar") {
      ok = value(&calendar);
    } else if (word == u"--password-stdin") {
      passwordFromStdin = true;
    } else {
      ok = false;
    }
    if (!ok) return fail(usage());
  }
  if (mode == u"--sync") {
    if (!settings.url.isEmpty() || !settings.user.isEmpty() || passwordFromStdin) {
      return fail(usage());
    }
    return runSync(dataFile);
  }
  if (settings.url.isEmpty() || settings.user.isEmpty() || !passwordFromStdin) return fail(usage());
  return runSetup(dataFile, settings, calendar);
}
