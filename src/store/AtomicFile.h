#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "store/Status.h"

// The name every temporary file of a rewrite starts with. Each rewrite makes its own file
// beside the data file, "ダミー００.yotenna-" and a random part, so that two rewrites never share
// one and a file of that bare name (the user's own, or an old data file) is never touched.
inline const QString kTemporaryFileName = QStringLiteral("ダミー００");
inline const QString kTemporaryFilePrefix = QStringLiteral("ダミー００.yotenna-");

// Where the contents of a data file really live: a symbolic link is followed to its target
// (so the link stays a link), any other path is made absolute.
QString resolveDataFilePath(const QString& path);

// Replaces the file at a path so that at every instant it holds either its complete old or its
// complete new contents:
//   begin():  create a temporary file of our own beside it, exclusively and never through a
//             link (O_CREAT|O_EXCL|O_NOFOLLOW), with the old file's permission bits, and
//             remove what crashed rewrites left in the folder;
//   write():  stream the new contents into it;
//   commit(): flush and sync it, rename it over the file, sync the folder.
// The permission bits (and, where allowed, the owner) of an existing file are kept. A file that
// is not writable, or not a regular file, is left alone. On any failure, and when the object
// goes away uncommitted, the old file is untouched and the temporary file this object created
// (and nothing else) is removed; the message says what went wrong.
class AtomicReplacement {
 public:
  explicit AtomicReplacement(const QString& path);
  ~AtomicReplacement();
  AtomicReplacement(const AtomicReplacement&) = delete;
  AtomicReplacement& operator=(const AtomicReplacement&) = delete;

  Status begin();
  Status write(QByteArrayView bytes);
  // Appends `size` bytes of another open file, from `offset` on, without moving its position:
  // the kernel copies them (copy_file_range, which shares the blocks on file systems that can),
  // or, where it cannot, they are read and written here.
  // With `kernel` false they are read and written here whatever the file system.
  Status copyFrom(int sourceFd, qint64 offset, qint64 size, bool kernel = true);
  Status commit();
  // Removes the temporary file; the old file stays as it is.
  void abandon();

  // The temporary file while it exists (for messages and tests).
  const QString& temporaryPath() const { return temporary_; }
  // The device and inode of the new file (once begun; 0 on Windows).
  unsigned long long device() const { return device_; }
  unsigned long long inode() const { return inode_; }

 private:
  Status flush();
  Status writeOut(const char* data, qsizetype size);
  // Counts bytes that reached the temporary file, and has the disk start on them.
  void wrote(qint64 size);
  Status fail(int errorNumber);

  QString path_;    // as the caller named it, for messages
  QString target_;  // where the contents live
  QString temporary_;
  int fd_ = -1;
  // The temporary file's identity, so that the clean-up removes only the file it made.
  unsigned long long device_ = 0;
  unsigned long long inode_ = 0;
  QByteArray buffer_;
  bool committed_ = false;
  bool kernelCopyRefused_ = false;  // once refused, the rest is copied here
  qint64 written_ = 0;              // bytes in the temporary file
  qint64 writebackFrom_ = 0;        // the first of them the disk was not yet asked to write
};

// Whether the kernel's copy of a file's unchanged bytes is worth more than writing bytes that
// were read anyway: on file systems that share blocks (Btrfs, XFS, ZFS, bcachefs) or copy on the
// server (NFS, SMB) it is, and wherever the file system is not known; on ext4, tmpfs and their
// like the kernel copies page by page through a pipe, slower than one write from memory.
bool kernelCopyPays(int fd);

// The whole new contents at once, through an AtomicReplacement.
Status replaceFileContents(const QString& path, const QByteArray& contents);

namespace storetesting {
// Makes the first name a rewrite tries for its temporary file end in `suffix` rather than a
// random part (empty: random again), for tests that must name the file before it exists. When
// that name is taken, the rewrite goes on with random names as always.
void setTemporarySuffix(const QString& suffix);

// Stands in for copy_file_range(2) (null: the system's again), for tests that make the kernel
// refuse or fail the copy.
using CopyFileRange = long (*)(int inFd, long long* inOffset, int outFd, long long* outOffset,
                               unsigned long size, unsigned flags);
void setCopyFileRange(CopyFileRange function);

// Overrides kernelCopyPays for tests of either way: by the file system (the default), always,
// never.
enum class KernelCopy { ByFileSystem, Always, Never };
void setKernelCopy(KernelCopy choice);
}  // namespace storetesting
