#pragma once

// The real parts a sync needs, started for a test or a benchmark and stopped with it: a
// keyring's Secret Service on the private session bus the caller runs on (dbus-run-session),
// Radicale on loopback at a free port with a password file and a storage folder of its own,
// and optionally a proxy before it that answers 500 on request. Every program the caller runs
// through run() sees the same temporary home, so the program's sync folders and the keyring
// live there.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

namespace synctesting {

struct Run {
  int code = -1;
  QString out;
  QString err;
};

inline int freePort() {
  QTcpServer server;
  server.listen(QHostAddress::LocalHost, 0);
  return server.serverPort();
}

inline bool waitForPort(int port, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < timeoutMs) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    if (socket.waitForConnected(200)) return true;
    QThread::msleep(100);
  }
  return false;
}

class SyncParts {
 public:
  static inline const QString kUser = QStringLiteral("phone");
  static inline const QString kPassword = QStringLiteral("kaki-no-tane");

  ~SyncParts() { stop(); }

  // What is missing to run the parts; empty when everything is installed.
  QString missing() const {
    for (const char* program :
         {"radicale", "vdirsyncer", "gnome-keyring-daemon", "secret-tool", "setsid"}) {
      if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
        return QString::fromLatin1(program);
      }
    }
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
      return QStringLiteral("a private session bus (dbus-run-session)");
    }
    return {};
  }

  // Has the server log every request it answers, with the time it took, to `file` (from the
  // next start()).
  void logRequestsTo(const QString& file) { requestLog_ = file; }

  // Starts the server through a Python script that runs Radicale itself (from the next start()).
  void startServerThrough(const QString& script) { serverScript_ = script; }

  // Starts everything; the error, or empty. proxyScript: the failing proxy, or empty for none.
  QString start(const QString& proxyScript = {}) {
    if (!home_.isValid()) return QStringLiteral("no temporary folder");
    QDir().mkpath(home_.filePath(QStringLiteral("data")));
    QDir().mkpath(home_.filePath(QStringLiteral("run")));
    QFile::setPermissions(home_.filePath(QStringLiteral("run")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // The keyring, unlocked with a password on its standard input. What the bus starts by
    // itself must see the same home to find it.
    const QProcessEnvironment env = environment();
    QStringList activation;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
      activation << QString::fromLatin1(name) + u'=' + env.value(QString::fromLatin1(name));
    }
    if (run(QStringLiteral("dbus-update-activation-environment"), activation).code != 0) {
      return QStringLiteral("dbus-update-activation-environment failed");
    }
    keyring_.setProcessEnvironment(env);
    keyring_.setStandardInputFile(QProcess::nullDevice());
    keyring_.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("printf %s test-keyring | exec gnome-keyring-daemon "
                                              "--foreground --unlock --components=secrets")});
    if (!keyring_.waitForStarted()) return QStringLiteral("the keyring does not start");

    serverPort_ = freePort();
    QFile users(home_.filePath(QStringLiteral("users")));
    if (!users.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write the users");
    users.write((kUser + u':' + kPassword + u'\n').toUtf8());
    users.close();
    QFile config(home_.filePath(QStringLiteral("radicale.conf")));
    if (!config.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write the config");
    config.write(QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = htpasswd\n"
                                "htpasswd_filename = %2\nhtpasswd_encryption = plain\n"
                                "[storage]\nfilesystem_folder = %3\n[logging]\nlevel = %4\n")
                     .arg(serverPort_)
                     .arg(users.fileName(), home_.filePath(QStringLiteral("collections")),
                          requestLog_.isEmpty() ? QStringLiteral("error") : QStringLiteral("info"))
                     .toUtf8());
    config.close();
    radicale_.setProcessEnvironment(env);
    if (requestLog_.isEmpty()) {
      radicale_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    } else {
      radicale_.setStandardErrorFile(requestLog_);
    }
    if (serverScript_.isEmpty()) {
      radicale_.start(QStringLiteral("radicale"), {QStringLiteral("--config"), config.fileName()});
    } else {
      radicale_.start(QStringLiteral("/usr/bin/python3"),
                      {serverScript_, QStringLiteral("--config"), config.fileName()});
    }
    if (!radicale_.waitForStarted() || !waitForPort(serverPort_, 15000)) {
      return QStringLiteral("Radicale does not answer");
    }
    url_ = QStringLiteral("http://127.0.0.1:%1/").arg(serverPort_);

    if (!proxyScript.isEmpty()) {
      const int proxyPort = freePort();
      setProxyMode(QString());
      proxy_.setProcessEnvironment(env);
      proxy_.start(QStringLiteral("/usr/bin/python3"),
                   {proxyScript, QString::number(proxyPort), QString::number(serverPort_),
                    home_.filePath(QStringLiteral("proxy-mode"))});
      if (!proxy_.waitForStarted() || !waitForPort(proxyPort, 15000)) {
        return QStringLiteral("the proxy does not answer");
      }
      url_ = QStringLiteral("http://127.0.0.1:%1/").arg(proxyPort);
    }

    // The keyring takes a moment to come up on the bus.
    QElapsedTimer timer;
    timer.start();
    while (run(QStringLiteral("secret-tool"),
               {QStringLiteral("store"), QStringLiteral("--label=probe"), QStringLiteral("service"),
                QStringLiteral("probe")},
               "x")
               .code != 0) {
      if (timer.elapsed() > 15000) return QStringLiteral("the keyring does not answer");
      QThread::msleep(200);
    }
    return {};
  }

  void stop() {
    for (QProcess* process : {&proxy_, &radicale_, &keyring_}) {
      if (process->state() == QProcess::NotRunning) continue;
      process->terminate();
      if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished();
      }
    }
  }

  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home_.path() + QStringLiteral("/data"));
    // The keyring's control socket, where the keyring the bus starts finds the unlocked one.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path() + QStringLiteral("/run"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("Asia/Tokyo"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("http_proxy"));
    env.remove(QStringLiteral("HTTP_PROXY"));
    return env;
  }

  Run run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
          int timeoutMs = 600000) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    Run result;
    if (!process.waitForFinished(timeoutMs)) {
      process.kill();
      process.waitForFinished();
      result.err = QStringLiteral("timed out");
      return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
  }

  // The phone: python3-caldav on the calendar (see tests/exchange/sync_phone.py).
  Run phone(const QString& script, const QString& calendar, const QStringList& arguments,
            const QByteArray& input = {}) const {
    return run(QStringLiteral("/usr/bin/python3"),
               QStringList{script, url_, kUser, kPassword, calendar} + arguments, input);
  }

  bool storePassword(const QString& account, const QString& password) const {
    return run(QStringLiteral("secret-tool"),
               {QStringLiteral("store"), QStringLiteral("--label=test"), QStringLiteral("service"),
                QStringLiteral("yotenna"), QStringLiteral("account"), account},
               password.toUtf8())
               .code == 0;
  }

  void setProxyMode(const QString& mode) {
    QFile file(home_.filePath(QStringLiteral("proxy-mode")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(mode.toUtf8());
  }

  QString path(const QString& name) const { return home_.filePath(name); }
  const QString& url() const { return url_; }

 private:
  QString requestLog_;
  QString serverScript_;
  QTemporaryDir home_;
  QProcess keyring_;
  QProcess radicale_;
  QProcess proxy_;
  int serverPort_ = 0;
  QString url_;
};

}  // namespace synctesting
