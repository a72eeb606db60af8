#include "store/FileIdentity.h"

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

std::optional<FileIdentity> fileIdentity(int fd) {
#ifndef Q_OS_WIN
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) return std::nullopt;
  constexpr qint64 kNano = 1000000000;
  return FileIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                      static_cast<qint64>(info.st_size),
                      static_cast<qint64>(info.st_mtim.tv_sec) * kNano + info.st_mtim.tv_nsec,
                      static_cast<qint64>(info.st_ctim.tv_sec) * kNano + info.st_ctim.tv_nsec};
#else
  Q_UNUSED(fd);
  return std::nullopt;
#endif
}
