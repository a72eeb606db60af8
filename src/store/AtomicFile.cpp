#include "store/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>

#include "store/SystemError.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif
#if defined(__linux__)
#include <sys/vfs.h>
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

constexpr qsizetype kBufferSize = 1 << 20;
constexpr int kNameAttempts = 64;

QString& fixedSuffix() {
  static QString suffix;
  return suffix;
}

QString randomSuffix() {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  QString suffix;
  for (int i = 0; i < 8; ++i) {
    suffix += QLatin1Char(kAlphabet[QRandomGenerator::system()->bounded(62)]);
  }
  return suffix;
}

// The first name tried may be fixed by a test; every other is random.
QString suffixFor(int attempt) {
  return attempt == 0 && !fixedSuffix().isEmpty() ? fixedSuffix() : randomSuffix();
}

Status writeFailure(const QString& path, const QString& reason) {
  return Status::failure(
      QStringLiteral(
          "データファイル%1に書き込めません。元のデータはそのまま残っています。\n理由: %2")
          .arg(quotedPath(path), reason));
}

}  // namespace

#ifndef Q_OS_WIN
namespace {

long systemCopyFileRange(int inFd, long long* inOffset, int outFd, long long* outOffset,
                         unsigned long size, unsigned flags) {
  loff_t in = inOffset ? *inOffset : 0;
  loff_t out = outOffset ? *outOffset : 0;
  const ssize_t copied = ::copy_file_range(inFd, inOffset ? &in : nullptr, outFd,
                                           outOffset ? &out : nullptr, size, flags);
  if (inOffset) *inOffset = in;
  if (outOffset) *outOffset = out;
  return copied;
}

storetesting::CopyFileRange& copyFileRange() {
  static storetesting::CopyFileRange function = systemCopyFileRange;
  return function;
}

}  // namespace
#endif

namespace {

storetesting::KernelCopy& kernelCopyChoice() {
  static storetesting::KernelCopy choice = storetesting::KernelCopy::ByFileSystem;
  return choice;
}

}  // namespace

bool kernelCopyPays(int fd) {
  switch (kernelCopyChoice()) {
    case storetesting::KernelCopy::Always:
      return true;
    case storetesting::KernelCopy::Never:
      return false;
    case storetesting::KernelCopy::ByFileSystem:
      break;
  }
#if defined(__linux__)
  struct statfs info {};
  if (::fstatfs(fd, &info) != 0) return true;
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53UL:      // ext2, ext3, ext4
    case 0x01021994UL:  // tmpfs
    case 0x858458F6UL:  // ramfs
    case 0xF2F52010UL:  // f2fs
    case 0x4D44UL:      // FAT
    case 0x2011BAB0UL:  // exFAT
    case 0x5346544EUL:  // NTFS
    case 0x7366746EUL:  // NTFS (ntfs3)
      return false;
    default:
      return true;
  }
#else
  Q_UNUSED(fd);
  return true;
#endif
}

namespace storetesting {
void setKernelCopy(KernelCopy choice) { kernelCopyChoice() = choice; }
void setTemporarySuffix(const QString& suffix) { fixedSuffix() = suffix; }
#ifndef Q_OS_WIN
void setCopyFileRange(CopyFileRange function) {
  copyFileRange() = function ? function : systemCopyFileRange;
}
#else
void setCopyFileRange(CopyFileRange) {}
#endif
}  // namespace storetesting

AtomicReplacement::AtomicReplacement(const QString& path) : path_(path) {}

AtomicReplacement::~AtomicReplacement() {
  if (!committed_) abandon();
}

Status AtomicReplacement::write(QByteArrayView bytes) {
  if (fd_ < 0 && temporary_.isEmpty()) return writeFailure(path_, QStringLiteral("内部エラー"));
  // Large pieces (a reader's chunk passed on as it stands) go straight through, after what
  // waits: copying them into the buffer first would only cost time.
  constexpr qsizetype kDirect = 64 * 1024;
  if (buffer_.size() + bytes.size() > kBufferSize || bytes.size() >= kDirect) {
    if (Status flushed = flush(); !flushed) return flushed;
  }
  if (bytes.size() >= kDirect) return writeOut(bytes.data(), bytes.size());
  buffer_.append(bytes);
  return Status::success();
}

Status AtomicReplacement::flush() {
  if (buffer_.isEmpty()) return Status::success();
  Status written = writeOut(buffer_.constData(), buffer_.size());
  buffer_.resize(0);
  return written;
}

#ifndef Q_OS_WIN

namespace {

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

// Removes the temporary files that crashed rewrites left in the folder: files of our name
// pattern, regular, our own, not the data file, and locked by no live rewrite (each holds a
// lock on its file while it writes). Links, other users' files and the bare "ダミー００" stay.
void removeLeftovers(const QString& folder, const struct stat& target, bool targetExists,
                     const struct stat& own) {
  const QByteArray folderName = QFile::encodeName(folder);
  const int folderFd = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return;
  DIR* entries = ::fdopendir(folderFd);
  if (!entries) {
    ::close(folderFd);
    return;
  }
  const QByteArray prefix = QFile::encodeName(kTemporaryFilePrefix);
  while (const dirent* entry = ::readdir(entries)) {
    const QByteArray name(entry->d_name);
    if (!name.startsWith(prefix)) continue;
    const int fd =
        ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    const bool candidate =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        !(targetExists && info.st_dev == target.st_dev && info.st_ino == target.st_ino) &&
        !(info.st_dev == own.st_dev && info.st_ino == own.st_ino);
    if (candidate && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      struct stat now {};
      if (::fstatat(folderFd, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
          now.st_dev == info.st_dev && now.st_ino == info.st_ino) {
        ::unlinkat(folderFd, entry->d_name, 0);
      }
    }
    ::close(fd);
  }
  ::closedir(entries);
}

}  // namespace

Status AtomicReplacement::begin() {
  target_ = resolveDataFilePath(path_);
  const QByteArray targetName = QFile::encodeName(target_);
  const QString folder = QFileInfo(target_).absolutePath();

  struct stat existing {};
  const bool exists = ::stat(targetName.constData(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return writeFailure(path_, kNotRegularFile);
  if (exists && ::access(targetName.constData(), W_OK) != 0) {
    return writeFailure(path_, describeSystemError(errno));
  }

  // A name of our own, created exclusively: an existing file or link of that name (another
  // writer's, a leftover, one planted by someone else) is never opened, truncated or followed.
  const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    const QString candidate = QDir(folder).filePath(kTemporaryFilePrefix + suffixFor(attempt));
    fd_ = ::open(QFile::encodeName(candidate).constData(),
                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      temporary_ = candidate;
    } else if (errno != EEXIST) {
      return writeFailure(path_, describeSystemError(errno));
    }
  }
  if (fd_ < 0) return writeFailure(path_, describeSystemError(EEXIST));

  struct stat created {};
  if (::fstat(fd_, &created) != 0) return fail(errno);
  device_ = created.st_dev;
  inode_ = created.st_ino;
  // Held while this rewrite lives: a later rewrite that finds the file can tell it from the
  // leftover of a crash. Where the file system has no locks, there is nothing to hold.
  ::flock(fd_, LOCK_EX | LOCK_NB);
  removeLeftovers(folder, existing, exists, created);

  if (exists) {
    // A new file would take the umask; an existing file keeps what its owner gave it.
    if (::fchmod(fd_, mode) != 0) return fail(errno);
    if (::geteuid() == 0) {
      [[maybe_unused]] const int ignored = ::fchown(fd_, existing.st_uid, existing.st_gid);
    }
  }
  return Status::success();
}

Status AtomicReplacement::writeOut(const char* data, qsizetype size) {
  if (!writeAll(fd_, data, size)) return fail(errno);
  wrote(size);
  return Status::success();
}

void AtomicReplacement::wrote(qint64 size) {
  written_ += size;
  // The disk starts on what is written while the rest is still being copied, rather than on
  // all of it at the sync: the rewrite then takes about as long as the slower of the two, not
  // both. Only a hint: the sync in commit() is what the guarantees rest on, and it reports a
  // failure of this early writing too.
  constexpr qint64 kWritebackStep = 2 << 20;
  if (written_ - writebackFrom_ >= kWritebackStep) {
#if defined(__linux__)
    ::sync_file_range(fd_, writebackFrom_, written_ - writebackFrom_, SYNC_FILE_RANGE_WRITE);
#endif
    writebackFrom_ = written_;
  }
}

namespace {

// The kernel cannot copy between these files (other file systems, an old kernel, a file system
// without the call, a sandbox that forbids it): the copy is done with read and write instead.
// Any other error (a full disk, an I/O error) is a failure of the rewrite.
bool kernelCopyRefused(int errorNumber) {
  switch (errorNumber) {
    case EXDEV:
    case EINVAL:
    case ENOSYS:
    case EOPNOTSUPP:
#if ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
    case EPERM:
    case EBADF:
      return true;
    default:
      return false;
  }
}

}  // namespace

Status AtomicReplacement::copyFrom(int sourceFd, qint64 offset, qint64 size, bool kernel) {
  if (fd_ < 0) return writeFailure(path_, QStringLiteral("内部エラー"));
  if (Status flushed = flush(); !flushed) return flushed;
  // The kernel moves the bytes itself, and shares them where the file system can.
  while (size > 0 && kernel && !kernelCopyRefused_) {
    long long in = offset;
    const long copied =
        copyFileRange()(sourceFd, &in, fd_, nullptr,
                        static_cast<unsigned long>(std::min<qint64>(size, 1 << 30)), 0);
    if (copied > 0) {
      offset += copied;
      size -= copied;
      wrote(copied);
    } else if (copied < 0 && errno == EINTR) {
      continue;
    } else if (copied < 0 && !kernelCopyRefused(errno)) {
      return fail(errno);
    } else {
      // Refused, or nothing copied (a file system that copies nothing): the rest goes by hand.
      kernelCopyRefused_ = true;
    }
  }
  if (size <= 0) return Status::success();
  QByteArray chunk(static_cast<qsizetype>(std::min<qint64>(size, kBufferSize)), Qt::Uninitialized);
  while (size > 0) {
    const ssize_t got = ::pread(sourceFd, chunk.data(),
                                static_cast<size_t>(std::min<qint64>(size, chunk.size())), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fail(errno);
    if (got == 0) {
      // The data file ended before the bytes that were read from it a moment ago.
      abandon();
      return writeFailure(path_, QStringLiteral("データファイルが書き込み中に短くなりました"));
    }
    if (!writeAll(fd_, chunk.constData(), got)) return fail(errno);
    wrote(got);
    offset += got;
    size -= got;
  }
  return Status::success();
}

Status AtomicReplacement::commit() {
  if (fd_ < 0) return writeFailure(path_, QStringLiteral("内部エラー"));
  if (Status flushed = flush(); !flushed) return flushed;
  if (::fsync(fd_) != 0) return fail(errno);
  const int closing = fd_;
  fd_ = -1;
  if (::close(closing) != 0) return fail(errno);
  if (::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) !=
      0) {
    return fail(errno);
  }
  committed_ = true;
  temporary_.clear();

  // The rename itself must reach the disk for the new contents to survive a power cut. It
  // is done and cannot be taken back, so a folder that cannot be synced is not reported.
  const int folderFd = ::open(QFile::encodeName(QFileInfo(target_).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return Status::success();
}

void AtomicReplacement::abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (temporary_.isEmpty()) return;
  // Only the file this object created: should the name now stand for another file, it stays.
  const QByteArray name = QFile::encodeName(temporary_);
  struct stat info {};
  if (::lstat(name.constData(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_) {
    ::unlink(name.constData());
  }
  temporary_.clear();
  buffer_.clear();
}

Status AtomicReplacement::fail(int errorNumber) {
  abandon();
  return writeFailure(path_, describeSystemError(errorNumber));
}

#else  // Q_OS_WIN

namespace {
HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }
}  // namespace

Status AtomicReplacement::begin() {
  target_ = resolveDataFilePath(path_);
  const std::wstring targetW = QDir::toNativeSeparators(target_).toStdWString();
  const DWORD attributes = GetFileAttributesW(targetW.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return writeFailure(path_, QStringLiteral("読み取り専用のファイルです"));
  }
  const QString folder = QFileInfo(target_).absolutePath();
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    const QString candidate = QDir(folder).filePath(kTemporaryFilePrefix + suffixFor(attempt));
    const std::wstring candidateW = QDir::toNativeSeparators(candidate).toStdWString();
    HANDLE out = CreateFileW(candidateW.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      fd_ = static_cast<int>(reinterpret_cast<intptr_t>(out));
      temporary_ = candidate;
    } else if (GetLastError() != ERROR_FILE_EXISTS) {
      return writeFailure(path_,
                          QStringLiteral("一時ファイルを作れません (%1)").arg(GetLastError()));
    }
  }
  if (fd_ < 0) return writeFailure(path_, QStringLiteral("一時ファイルを作れません"));
  return Status::success();
}

Status AtomicReplacement::writeOut(const char* data, qsizetype left) {
  while (left > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(left, 1 << 20));
    if (!WriteFile(handleOf(fd_), data, chunk, &written, nullptr) || written == 0) {
      return fail(static_cast<int>(GetLastError()));
    }
    data += written;
    left -= written;
  }
  return Status::success();
}

Status AtomicReplacement::copyFrom(int sourceFd, qint64 offset, qint64 size, bool) {
  // No kernel copy here: the bytes are read through a handle of our own and written.
  QFile source;
  if (!source.open(sourceFd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
    return fail(static_cast<int>(GetLastError()));
  }
  const qint64 before = source.pos();
  if (!source.seek(offset)) return fail(static_cast<int>(GetLastError()));
  while (size > 0) {
    const QByteArray chunk = source.read(std::min<qint64>(size, kBufferSize));
    if (chunk.isEmpty()) {
      source.seek(before);
      return fail(ERROR_HANDLE_EOF);
    }
    if (Status written = write(chunk); !written) return written;
    size -= chunk.size();
  }
  source.seek(before);
  return Status::success();
}

Status AtomicReplacement::commit() {
  if (Status flushed = flush(); !flushed) return flushed;
  if (!FlushFileBuffers(handleOf(fd_))) return fail(static_cast<int>(GetLastError()));
  CloseHandle(handleOf(fd_));
  fd_ = -1;
  const std::wstring temporaryW = QDir::toNativeSeparators(temporary_).toStdWString();
  const std::wstring targetW = QDir::toNativeSeparators(target_).toStdWString();
  if (!MoveFileExW(temporaryW.c_str(), targetW.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fail(static_cast<int>(GetLastError()));
  }
  committed_ = true;
  temporary_.clear();
  return Status::success();
}

void AtomicReplacement::abandon() {
  if (fd_ >= 0) {
    CloseHandle(handleOf(fd_));
    fd_ = -1;
  }
  if (!temporary_.isEmpty()) {
    DeleteFileW(QDir::toNativeSeparators(temporary_).toStdWString().c_str());
    temporary_.clear();
  }
  buffer_.clear();
}

Status AtomicReplacement::fail(int errorNumber) {
  abandon();
  return writeFailure(path_, QStringLiteral("Windows エラー %1").arg(errorNumber));
}

#endif

Status replaceFileContents(const QString& path, const QByteArray& contents) {
  AtomicReplacement replacement(path);
  if (Status begun = replacement.begin(); !begun) return begun;
  if (Status written = replacement.write(contents); !written) return written;
  return replacement.commit();
}
