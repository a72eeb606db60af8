#include "app/SingleInstanceLock.h"

#include <QDir>
#include <QFile>

#include "store/SystemError.h"

#ifdef Q_OS_WIN
#include <QLockFile>
#include <QStandardPaths>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

QString lockFailure(const QString& what, const QString& path, int errorNumber) {
  return QStringLiteral("%1%2（%3）").arg(quotedPath(path), what, describeSystemError(errorNumber));
}

#ifndef Q_OS_WIN
// Empty when `path` is a real folder (not a link) of this user's that no one else may enter;
// otherwise why not. With `closeIfOpen` a folder of ours with too open a mode is closed first.
QString checkPrivateFolder(const QString& path, bool closeIfOpen) {
  const QByteArray native = QFile::encodeName(path);
  struct stat info {};
  if (::lstat(native.constData(), &info) != 0) {
    return lockFailure(QStringLiteral("を調べられません"), path, errno);
  }
  if (!S_ISDIR(info.st_mode)) {
    return QStringLiteral("%1はフォルダではありません（リンクかファイルです）")
        .arg(quotedPath(path));
  }
  if (info.st_uid != ::geteuid()) {
    return QStringLiteral("フォルダ%1は別のユーザー（UID %2）のものです")
        .arg(quotedPath(path))
        .arg(info.st_uid);
  }
  if ((info.st_mode & 077) != 0) {
    if (!closeIfOpen) {
      return QStringLiteral("フォルダ%1はほかのユーザーも入れます").arg(quotedPath(path));
    }
    if (::chmod(native.constData(), 0700) != 0) {
      return lockFailure(QStringLiteral("を自分だけのフォルダにできません"), path, errno);
    }
  }
  return {};
}
#endif

}  // namespace

RuntimeFolder privateRuntimeFolder() {
#ifdef Q_OS_WIN
  // Each Windows user has a temporary folder of their own.
  return {QStandardPaths::writableLocation(QStandardPaths::TempLocation), {}};
#else
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (QDir::isAbsolutePath(runtime) && checkPrivateFolder(runtime, false).isEmpty()) {
    return {runtime, {}};
  }
  // No session folder (a plain su, cron, an old desktop): a folder of our own in the temporary
  // folder, which anyone may write to. Another user may have made one under our name first;
  // then it is not used.
  const QString fallback =
      QDir(QDir::tempPath()).filePath(QStringLiteral("yotenna-%1").arg(::geteuid()));
  if (::mkdir(QFile::encodeName(fallback).constData(), 0700) != 0 && errno != EEXIST) {
    return {{}, lockFailure(QStringLiteral("を作れません"), fallback, errno)};
  }
  const QString problem = checkPrivateFolder(fallback, true);
  if (!problem.isEmpty()) return {{}, problem};
  return {fallback, {}};
#endif
}

SingleInstanceLock::SingleInstanceLock(QString lockFilePath) : path_(std::move(lockFilePath)) {}

QString SingleInstanceLock::pathIn(const QString& folder) {
  return QDir(folder).filePath(QStringLiteral("yotenna.lock"));
}

#ifdef Q_OS_WIN

SingleInstanceLock::~SingleInstanceLock() = default;

InstanceLock SingleInstanceLock::acquire() {
  if (lock_ && lock_->isLocked()) return {};
  lock_ = std::make_unique<QLockFile>(path_);
  // A lock whose process is gone is stale whatever its age; QLockFile removes it.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) return {};
  if (lock_->error() == QLockFile::LockFailedError) {
    return {InstanceLock::State::AnotherCopyRuns, {}};
  }
  return {InstanceLock::State::Unavailable,
          QStringLiteral("ロックファイル%1を作れません").arg(quotedPath(path_))};
}

#else

SingleInstanceLock::~SingleInstanceLock() {
  // Closing the file lets the lock go; the file stays for the next start.
  if (descriptor_ >= 0) ::close(descriptor_);
}

InstanceLock SingleInstanceLock::acquire() {
  if (descriptor_ >= 0) return {};
  const QByteArray native = QFile::encodeName(path_);
  // Never through a link, never anything but a regular file, never blocking on a FIFO.
  int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EACCES) {
    // A file we may not write (left by another account of ours, or by root) still takes a lock.
    fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  }
  if (fd < 0) {
    return {InstanceLock::State::Unavailable,
            lockFailure(QStringLiteral("を開けません"), path_, errno)};
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return {
        InstanceLock::State::Unavailable,
        QStringLiteral("ロックファイル%1は普通のファイルではありません").arg(quotedPath(path_))};
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return {InstanceLock::State::AnotherCopyRuns, {}};
    return {InstanceLock::State::Unavailable,
            lockFailure(QStringLiteral("をロックできません"), path_, error)};
  }
  descriptor_ = fd;
  return {};
}

#endif
