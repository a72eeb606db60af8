#include "exchange/SyncConfig.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include "store/AtomicFile.h"
#include "store/SystemError.h"

namespace {

QString folderUnder(QStandardPaths::StandardLocation location, const QString& key) {
  return QStandardPaths::writableLocation(location) + QStringLiteral("/yotenna/sync/") + key;
}

// A value of vdirsyncer's configuration: JSON.
QByteArray json(const QString& text) {
  QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return array.mid(1, array.size() - 2);
}

std::optional<QJsonObject> readObject(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QJsonDocument document = QJsonDocument::fromJson(file.read(1024 * 1024));
  if (!document.isObject()) return std::nullopt;
  return document.object();
}

Status writeObject(const QString& path, const QJsonObject& object) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    return Status::failure(
        QStringLiteral("フォルダ%1を作れません。").arg(quotedPath(QFileInfo(path).absolutePath())));
  }
  return replaceFileContents(path, QJsonDocument(object).toJson());
}

}  // namespace

QString SyncPaths::vdirFor(const QString& calendar) const {
  return calendar.isEmpty() ? vdirRoot : vdirRoot + u'/' + calendar;
}

SyncPaths syncPathsFor(const QString& dataFile) {
  const QString resolved = resolveDataFilePath(dataFile);
  // A plain word: the file's name in ASCII letters and digits, and a hash of its full path.
  QString name;
  for (QChar c : QFileInfo(resolved).completeBaseName()) {
    if (c.isLetterOrNumber() && c.unicode() < 128) name += c.toLower();
  }
  if (name.isEmpty()) name = QStringLiteral("data");
  const QString hash = QString::fromLatin1(
      QCryptographicHash::hash(resolved.toUtf8(), QCryptographicHash::Sha256).toHex().left(12));
  SyncPaths paths;
  paths.key = name.left(24) + u'-' + hash;
  paths.configFolder = folderUnder(QStandardPaths::GenericConfigLocation, paths.key);
  paths.settingsFile = paths.configFolder + QStringLiteral("/settings.json");
  paths.vdirsyncerConfig = paths.configFolder + QStringLiteral("/vdirsyncer.conf");
  paths.dataFolder = folderUnder(QStandardPaths::GenericDataLocation, paths.key);
  paths.vdirRoot = paths.dataFolder + QStringLiteral("/vdir");
  paths.statusFolder = paths.dataFolder + QStringLiteral("/status");
  paths.stateFile = paths.dataFolder + QStringLiteral("/state.json");
  paths.lastSyncFile = paths.dataFolder + QStringLiteral("/last-sync.json");
  paths.lockFile = paths.dataFolder + QStringLiteral("/sync.lock");
  return paths;
}

std::optional<SyncSettings> readSyncSettings(const SyncPaths& paths) {
  const std::optional<QJsonObject> object = readObject(paths.settingsFile);
  if (!object) return std::nullopt;
  SyncSettings settings;
  settings.url = object->value(QStringLiteral("url")).toString();
  settings.user = object->value(QStringLiteral("user")).toString();
  settings.calendar = object->value(QStringLiteral("calendar")).toString();
  if (settings.url.isEmpty()) return std::nullopt;
  return settings;
}

Status writeSyncSettings(const SyncPaths& paths, const SyncSettings& settings) {
  QJsonObject object;
  object.insert(QStringLiteral("url"), settings.url);
  object.insert(QStringLiteral("user"), settings.user);
  object.insert(QStringLiteral("calendar"), settings.calendar);
  return writeObject(paths.settingsFile, object);
}

QByteArray vdirsyncerConfig(const SyncPaths& paths, const SyncSettings& settings,
                            const QString& discoveryFolder) {
  const bool discovery = !discoveryFolder.isEmpty();
  const QString status =
      discovery ? discoveryFolder + QStringLiteral("/status/") : paths.statusFolder + u'/';
  const QString local =
      discovery ? discoveryFolder + QStringLiteral("/vdir/") : paths.vdirRoot + u'/';
  QByteArray collections = QByteArrayLiteral("null");
  if (discovery) {
    collections = QByteArrayLiteral("[\"from b\"]");
  } else if (!settings.calendar.isEmpty()) {
    collections = '[' + json(settings.calendar) + ']';
  }
  QByteArray text;
  text += "# Written by Yotenna for its own sync; it is rewritten at every sync.\n";
  text += "[general]\nstatus_path = " + json(status) + "\n\n";
  text += "[pair yotenna]\na = \"yotenna_vdir\"\nb = \"yotenna_server\"\n";
  text += "collections = " + collections + "\n";
  // The data file keeps this side's version of an item changed on both sides.
  text += "conflict_resolution = \"b wins\"\n\n";
  text += "[storage yotenna_vdir]\ntype = \"filesystem\"\npath = " + json(local) + "\n";
  text += "fileext = \".ics\"\n\n";
  text += "[storage yotenna_server]\ntype = \"caldav\"\nurl = " + json(settings.url) + "\n";
  text += "username = " + json(settings.user) + "\n";
  // The kinds of item the program takes in (events and tasks; a journal it would leave on the
  // server untouched anyway). Named, vdirsyncer lists the calendar with a calendar-query
  // instead of a PROPFIND of every item, which some servers answer far faster (Radicale 3.1:
  // 0.25 s instead of 6.4 s for 5,000 items) — and it lists the calendar twice a sync.
  text += "item_types = [\"VEVENT\", \"VTODO\"]\n";
  text +=
      "password.fetch = [\"command\", \"secret-tool\", \"lookup\", \"service\", \"yotenna\", "
      "\"account\", " +
      json(paths.key) + "]\n";
  return text;
}

QList<DiscoveredCalendar> parseDiscoveredCalendars(const QString& output) {
  // vdirsyncer lists each storage's collections under its name:
  //   yotenna_server:
  //     - "work" ("仕事")
  QList<DiscoveredCalendar> found;
  bool inServer = false;
  static const QRegularExpression item(
      QStringLiteral(R"re(^\s+-\s+"((?:[^"\\]|\\.)*)"(?:\s+\((.*)\))?\s*$)re"));
  for (const QString& line : output.split(u'\n')) {
    if (!line.startsWith(u' ') && line.endsWith(u':')) {
      inServer = line.trimmed() == QStringLiteral("yotenna_server:");
      continue;
    }
    if (!inServer) continue;
    const QRegularExpressionMatch match = item.match(line);
    if (!match.hasMatch()) continue;
    QString display = match.captured(2);
    if (display.size() >= 2 && display.startsWith(u'"') && display.endsWith(u'"')) {
      display = display.mid(1, display.size() - 2);
    }
    found << DiscoveredCalendar{match.captured(1), display};
  }
  return found;
}

QString syncFailureReason(const QString& output, const SyncSettings& settings) {
  auto has = [&output](const char* text) {
    return output.contains(QLatin1String(text), Qt::CaseInsensitive);
  };
  QString host = QUrl(settings.url).host();
  if (host.isEmpty()) host = settings.url;
  if (has("401") || has("Unauthorized") || has("403, message") || has("Forbidden")) {
    return QStringLiteral(
               "サーバー %1 がユーザー名「%2」とパスワードを受け付けません。"
               "ユーザー名とパスワードを確かめてください。")
        .arg(host, settings.user);
  }
  // aiohttp names every connection's "ssl:default"; only a refused certificate says more.
  if (has("certificate verify failed") || has("CERTIFICATE_VERIFY_FAILED") ||
      has("SSLCertVerificationError") || has("SSLError")) {
    return QStringLiteral(
               "サーバー %1 の証明書を確かめられないため、つなぎませんでした"
               "（証明書が正しくないか、自分で作った証明書です）。")
        .arg(host);
  }
  if (has("Cannot connect to host") || has("Name or service not known") ||
      has("Connection refused") || has("Temporary failure in name resolution") ||
      has("Network is unreachable") || has("TimeoutError") || has("timed out")) {
    return QStringLiteral(
               "サーバー %1 につながりません。ネットワークとサーバーの URL "
               "を確かめてください。")
        .arg(host);
  }
  if (has("secret-tool") || has("password.fetch") || has("fetch password") ||
      has("Empty password")) {
    return QStringLiteral(
        "パスワードをキーリング（Secret Service）から読めません。"
        "キーリングを開いてから、もう一度同期してください。");
  }
  if (has("Not Found") || has("404") || has("does not exist") ||
      (has("No collection") && has("yotenna_server"))) {
    const QString name = settings.calendar.isEmpty() ? settings.url : settings.calendar;
    return QStringLiteral(
               "カレンダー「%1」がサーバー %2 に見つかりません"
               "（消されたか、名前が変わったのかもしれません）。")
        .arg(name, host);
  }
  static const QRegularExpression serverError(
      QStringLiteral(R"re(\b(5\d\d), message='([^']*)')re"));
  const QRegularExpressionMatch match = serverError.match(output);
  if (match.hasMatch() || has("Internal Server Error")) {
    const QString code = match.hasMatch() ? match.captured(1) + u' ' + match.captured(2)
                                          : QStringLiteral("500 Internal Server Error");
    return QStringLiteral(
               "サーバー %1 がエラーを返しました（%2）。"
               "しばらくしてから、もう一度同期してください。")
        .arg(host, code);
  }
  // The last error vdirsyncer wrote, as it wrote it.
  QString last;
  for (const QString& line : output.split(u'\n')) {
    const QString trimmed = line.trimmed();
    if ((trimmed.startsWith(QStringLiteral("error:")) ||
         trimmed.startsWith(QStringLiteral("critical:"))) &&
        !trimmed.contains(QStringLiteral("-vdebug"))) {
      last = trimmed;
    }
  }
  if (last.isEmpty()) last = output.trimmed().section(u'\n', -1);
  return QStringLiteral("vdirsyncer が失敗しました（%1）。").arg(last.left(300));
}

QString plainHttpWarning(const QString& url) {
  const QUrl parsed(url);
  if (parsed.scheme().compare(QStringLiteral("http"), Qt::CaseInsensitive) != 0) return {};
  const QString host = parsed.host();
  if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 ||
      host.startsWith(QStringLiteral("127.")) || host == QStringLiteral("::1")) {
    return {};
  }
  return QStringLiteral(
             "この URL は http です。パスワードと予定が暗号化されずに %1 へ送られます。"
             "https の URL を使ってください。")
      .arg(host);
}

LastSync readLastSync(const SyncPaths& paths) {
  LastSync last;
  const std::optional<QJsonObject> object = readObject(paths.lastSyncFile);
  if (!object) return last;
  last.when = QDateTime::fromString(object->value(QStringLiteral("when")).toString(), Qt::ISODate);
  last.lastSuccess =
      QDateTime::fromString(object->value(QStringLiteral("success")).toString(), Qt::ISODate);
  last.error = object->value(QStringLiteral("error")).toString();
  return last;
}

void writeLastSync(const SyncPaths& paths, const LastSync& last) {
  QJsonObject object;
  object.insert(QStringLiteral("when"), last.when.toString(Qt::ISODate));
  object.insert(QStringLiteral("success"), last.lastSuccess.toString(Qt::ISODate));
  object.insert(QStringLiteral("error"), last.error);
  (void)writeObject(paths.lastSyncFile, object);  // only shown; a lost record is harmless
}

Status removeSyncSetup(const SyncPaths& paths) {
  for (const QString& folder : {paths.configFolder, paths.dataFolder}) {
    QDir dir(folder);
    if (dir.exists() && !dir.removeRecursively()) {
      return Status::failure(
          QStringLiteral("同期のフォルダ%1を消せません。").arg(quotedPath(folder)));
    }
  }
  return Status::success();
}
