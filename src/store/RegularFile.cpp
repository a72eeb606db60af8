#include "store/RegularFile.h"

#include <QFileInfo>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

RegularFileOpening outcome(RegularFileOpening::Outcome what, int systemError = 0) {
  RegularFileOpening opening;
  opening.outcome = what;
  opening.systemError = systemError;
  return opening;
}

}  // namespace

RegularFileOpening openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode flags) {
  using Outcome = RegularFileOpening::Outcome;
  file.setFileName(path);
#ifdef Q_OS_UNIX
  const int fd =
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    return outcome(code == ENOENT || code == ENOTDIR ? Outcome::Missing : Outcome::Failed, code);
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int code = errno;
    ::close(fd);
    if (S_ISDIR(info.st_mode)) return outcome(Outcome::Folder, EISDIR);
    return info.st_mode != 0 ? outcome(Outcome::NotRegular) : outcome(Outcome::Failed, code);
  }
  // A regular file never blocks; the reads that follow are ordinary ones.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!file.open(fd, QIODevice::ReadOnly | flags, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return outcome(Outcome::Failed);
  }
  RegularFileOpening opened = outcome(Outcome::Opened);
  opened.size = info.st_size;
  return opened;
#else
  const QFileInfo info(path);
  if (!info.exists()) return outcome(Outcome::Missing, ENOENT);
  if (info.isDir()) return outcome(Outcome::Folder, EISDIR);
  if (!info.isFile()) return outcome(Outcome::NotRegular);
  errno = 0;
  if (!file.open(QIODevice::ReadOnly | flags)) return outcome(Outcome::Failed, errno);
  RegularFileOpening opened = outcome(Outcome::Opened);
  opened.size = file.size();
  return opened;
#endif
}
