#include "shared/SingleInstanceLock.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <QStandardPaths>
#else
#include <unistd.h>
#endif

SingleInstanceLock::SingleInstanceLock(QString lockFilePath) : path_(std::move(lockFilePath)) {}

bool SingleInstanceLock::acquire() {
  if (lock_ && lock_->isLocked()) return true;
  lock_ = std::make_unique<QLockFile>(path_);
  // Never judge a lock stale by its age: a program left running for days still holds it.
  // A lock whose process is gone is stale whatever its age, and QLockFile removes it.
  lock_->setStaleLockTime(0);
  return lock_->tryLock(0);
}

QString SingleInstanceLock::defaultPath() {
#ifdef Q_OS_WIN
  const QString user = qEnvironmentVariable("USERNAME");
#else
  const QString user = QString::number(::getuid());
#endif
  return QDir(QDir::tempPath()).filePath(QStringLiteral("yotenna-%1.lock").arg(user));
}
