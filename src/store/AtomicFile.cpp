#include "store/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "store/SystemError.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

QString resolveDataFilePath(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink()) {
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    // A link to a file that does not exist yet: create the target.
    return QFileInfo(info.symLinkTarget()).absoluteFilePath();
  }
  return info.absoluteFilePath();
}

namespace {

Status writeFailure(const QString& path, const QString& reason) {
  return Status::failure(
      QStringLiteral(
          "データファイル%1に書き込めません。元のデータはそのまま残っています。\n理由: %2")
          .arg(quotedPath(path), reason));
}

}  // namespace

#ifndef Q_OS_WIN

namespace {

// Closes the descriptor it holds unless released.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the result, as a failed close can mean lost data.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const char* data, qsizetype size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

Status replaceFileContents(const QString& path, const QByteArray& contents) {
  const QString target = resolveDataFilePath(path);
  const QByteArray targetName = QFile::encodeName(target);
  const QString folder = QFileInfo(target).absolutePath();
  const QString temporary = QDir(folder).filePath(kTemporaryFileName);
  const QByteArray temporaryName = QFile::encodeName(temporary);

  struct stat existing {};
  const bool exists = ::stat(targetName.constData(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    return writeFailure(path, QStringLiteral("通常のファイルではありません"));
  }
  if (exists && ::access(targetName.constData(), W_OK) != 0) {
    return writeFailure(path, describeSystemError(errno));
  }

  // O_TRUNC: a temporary file left by an earlier crash is overwritten, never read.
  const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
  FileDescriptor out(
      ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (out.get() < 0) return writeFailure(path, describeSystemError(errno));

  auto abandon = [&](int errorNumber) {
    if (out.get() >= 0) out.close();
    ::unlink(temporaryName.constData());
    return writeFailure(path, describeSystemError(errorNumber));
  };

  if (exists) {
    // A new file would take the umask; an existing file keeps what its owner gave it.
    if (::fchmod(out.get(), mode) != 0) return abandon(errno);
    if (::geteuid() == 0) {
      [[maybe_unused]] const int ignored = ::fchown(out.get(), existing.st_uid, existing.st_gid);
    }
  }
  if (!writeAll(out.get(), contents.constData(), contents.size())) return abandon(errno);
  if (::fsync(out.get()) != 0) return abandon(errno);
  if (out.close() != 0) return abandon(errno);
  if (::rename(temporaryName.constData(), targetName.constData()) != 0) return abandon(errno);

  // The rename itself must reach the disk for the new contents to survive a power cut. It
  // is done and cannot be taken back, so a folder that cannot be synced is not reported.
  const int folderFd =
      ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return Status::success();
}

#else  // Q_OS_WIN

Status replaceFileContents(const QString& path, const QByteArray& contents) {
  const QString target = resolveDataFilePath(path);
  const QString temporary = QDir(QFileInfo(target).absolutePath()).filePath(kTemporaryFileName);
  const std::wstring targetW = QDir::toNativeSeparators(target).toStdWString();
  const std::wstring temporaryW = QDir::toNativeSeparators(temporary).toStdWString();

  const DWORD attributes = GetFileAttributesW(targetW.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return writeFailure(path, QStringLiteral("読み取り専用のファイルです"));
  }
  HANDLE out = CreateFileW(temporaryW.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    return writeFailure(path, QStringLiteral("一時ファイルを作れません (%1)").arg(GetLastError()));
  }
  auto abandon = [&](DWORD error) {
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    DeleteFileW(temporaryW.c_str());
    return writeFailure(path, QStringLiteral("Windows エラー %1").arg(error));
  };
  const char* data = contents.constData();
  qsizetype left = contents.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(left, 1 << 20));
    if (!WriteFile(out, data, chunk, &written, nullptr) || written == 0)
      return abandon(GetLastError());
    data += written;
    left -= written;
  }
  if (!FlushFileBuffers(out)) return abandon(GetLastError());
  if (!CloseHandle(out)) {
    out = INVALID_HANDLE_VALUE;
    return abandon(GetLastError());
  }
  out = INVALID_HANDLE_VALUE;
  if (!MoveFileExW(temporaryW.c_str(), targetW.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return abandon(GetLastError());
  }
  return Status::success();
}

#endif
