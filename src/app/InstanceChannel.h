#pragma once
// How a later start reaches the running copy: a local socket in the user's private runtime
// folder. The later start sends the data file it was given; the running copy comes to the
// front and answers with the data file it has in use.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

class InstanceServer : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<QString(const QString& dataFile)>;

  explicit InstanceServer(QObject* parent = nullptr);

  // Listens at `socketPath`. The caller holds the single-instance lock, so a socket file found
  // there was left by a copy that died and is replaced. False, with the reason, when the socket
  // cannot be made; the program then runs on without it.
  bool listen(const QString& socketPath, Handler handler, QString* error);

  // The socket in a runtime folder.
  static QString pathIn(const QString& folder);

 private:
  void serve(QLocalSocket* socket);

  QLocalServer* server_ = nullptr;
  Handler handler_;
};

// The later start's side: sends `dataFile` and waits up to `timeoutMs` for the answer. None when
// no copy listens or it did not answer in time.
std::optional<QString> askRunningCopy(const QString& socketPath, const QString& dataFile,
                                      int timeoutMs = 3000);
