#include "store/DataFileLock.h"

#include <QFile>
#include <QFileInfo>

#include "store/AtomicFile.h"
#include "store/SystemError.h"

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#endif

#ifndef Q_OS_WIN

namespace {

Status busy(const QString& dataFile) {
  return Status::failure(
      QStringLiteral(
          "別の Yotenna（ほかのユーザーのものかもしれません）がデータファイル%1に書き込ん"
          "でいます。5 秒待っても終わらなかったので、何も書き込んでいません。\n"
          "しばらくしてから、もう一度やり直してください。")
          .arg(quotedPath(dataFile)));
}

// The folders this process holds locked, by device and inode: a lock taken again by its
// holder is shared (flock would make a second descriptor wait for the first).
struct HeldFolder {
  int fd = -1;
  int count = 0;
  std::thread::id owner;
};
using FolderKey = std::pair<unsigned long long, unsigned long long>;

std::mutex& registryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<FolderKey, HeldFolder>& registry() {
  static std::map<FolderKey, HeldFolder> held;
  return held;
}

}  // namespace

DataFileLock::DataFileLock(const QString& dataFile, std::chrono::milliseconds wait) {
  const QString folder = QFileInfo(resolveDataFilePath(dataFile)).absolutePath();
  const int fd = ::open(QFile::encodeName(folder).constData(),
                        O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  // A folder that cannot be opened cannot be written either; the operation itself says why.
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    return;
  }
  const FolderKey key{info.st_dev, info.st_ino};
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    {
      const std::lock_guard<std::mutex> guard(registryMutex());
      auto found = registry().find(key);
      if (found == registry().end()) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
          registry()[key] = HeldFolder{fd, 1, std::this_thread::get_id()};
          break;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
          // No locks on this file system: nothing to hold.
          ::close(fd);
          return;
        }
      } else if (found->second.owner == std::this_thread::get_id()) {
        ++found->second.count;
        ::close(fd);
        break;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      status_ = busy(dataFile);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  registered_ = true;
  device_ = key.first;
  inode_ = key.second;
}

DataFileLock::~DataFileLock() {
  if (!registered_) return;
  const std::lock_guard<std::mutex> guard(registryMutex());
  auto found = registry().find(FolderKey{device_, inode_});
  if (found == registry().end()) return;
  if (--found->second.count == 0) {
    ::close(found->second.fd);  // releases the flock
    registry().erase(found);
  }
}

#else  // Q_OS_WIN

// Not yet on Windows: the guard holds nothing there.
DataFileLock::DataFileLock(const QString&, std::chrono::milliseconds) {}
DataFileLock::~DataFileLock() = default;

#endif
