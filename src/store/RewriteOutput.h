#pragma once
// The output side of a rewrite (Rewrite.cpp's alone): the new contents on their way to the
// temporary file.

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <algorithm>
#include <cstring>

#include "store/AtomicFile.h"
#include "store/Status.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace rewriting {

// How the output ended: whether the new file is in place, and whether it differs from the old.
struct Finished {
  Status status = Status::success();
  bool changed = false;
};

inline constexpr qsizetype kOutputChunk = 1 << 20;
// Unchanged pieces at least this long are copied by the kernel; shorter ones are written with
// the new bytes, one system call for many of them.
inline constexpr qsizetype kKernelCopyMinimum = 64 * 1024;

// The new contents on their way to the temporary file, compared with the old ones as they
// go, so that a rewrite that changes nothing leaves the file alone. The parts that stand in
// the old file as they are go as ranges of it: the kernel copies them (and shares their blocks
// where the file system can) instead of passing every byte through here.
class Output {
 public:
  Output(const QString& path, QFile& source)
      : replacement_(path), source_(source), kernelCopies_(kernelCopyPays(source.handle())) {
    buffer_.reserve(std::min<qint64>(kOutputChunk, source.size() + 4096));
  }

  // Whether the parts of the old file passed over go as ranges for the kernel to copy, or as
  // the bytes read, written from memory.
  bool kernelCopies() const { return kernelCopies_; }

  // Bytes of the old file that go as they stand without having been read: by the kernel where
  // its copy pays, read and written here elsewhere.
  void appendUnread(qint64 offset, qint64 size) {
    if (kernelCopies_) {
      appendRange(offset, size);
      return;
    }
    if (!status_ || size <= 0) return;
    flushRange();
    flushBytes();
    if (!status_) return;
    // Bytes in their old place are the same bytes; anywhere else the new file is taken to
    // differ (it is then written even if it should not).
    if (offset != written_) identical_ = false;
    status_ = replacement_.copyFrom(source_.handle(), offset, size, false);
    written_ += size;
  }

  // Bytes of the old file at `offset` that were read on the way and go as they stand.
  void appendRead(qint64 offset, QByteArrayView bytes) {
    if (!status_ || bytes.isEmpty()) return;
    flushRange();
    flushBytes();
    if (!status_) return;
    if (identical_ && offset != written_) identical_ = sameAsSource(bytes, written_);
    status_ = replacement_.write(bytes);
    written_ += bytes.size();
  }

  Status begin() { return replacement_.begin(); }

  // New bytes.
  void append(QByteArrayView bytes) {
    if (!status_) return;
    flushRange();
    buffer_.append(bytes);
    if (buffer_.size() >= kOutputChunk) flushBytes();
  }

  // Bytes of the old file at `offset`, still in memory: a short piece goes with the new bytes,
  // a long one (or one that continues the range before it) as a range.
  void appendSource(qint64 offset, QByteArrayView bytes) {
    if (!status_ || bytes.isEmpty()) return;
    if (rangeSize_ > 0 && rangeStart_ + rangeSize_ == offset) {
      rangeSize_ += bytes.size();
    } else if (!kernelCopies_ && bytes.size() >= kKernelCopyMinimum) {
      appendRead(offset, bytes);
    } else if (bytes.size() < kKernelCopyMinimum) {
      append(bytes);
    } else {
      appendRange(offset, bytes.size());
    }
  }

  // Bytes of the old file that were passed over without keeping them.
  void appendRange(qint64 offset, qint64 size) {
    if (!status_ || size <= 0) return;
    if (rangeSize_ > 0 && rangeStart_ + rangeSize_ == offset) {
      rangeSize_ += size;
      return;
    }
    flushRange();
    flushBytes();
    rangeStart_ = offset;
    rangeSize_ = size;
  }

  const Status& status() const { return status_; }

  // Where the next byte appended goes in the new file.
  qint64 position() const { return written_ + rangeSize_ + buffer_.size(); }
  // The new file, by device and inode.
  const AtomicReplacement& replacement() const { return replacement_; }

  // Puts the new file in place, unless it equals the old one.
  Finished finish() {
    flushRange();
    flushBytes();
    if (!status_) return {status_, false};
    if (identical_ && written_ == source_.size()) {
      replacement_.abandon();
      return {Status::success(), false};
    }
    return {replacement_.commit(), true};
  }

 private:
  void flushBytes() {
    if (buffer_.isEmpty() || !status_) return;
    if (identical_) identical_ = sameAsSource(buffer_, written_);
    status_ = replacement_.write(buffer_);
    written_ += buffer_.size();
    buffer_.resize(0);
  }

  void flushRange() {
    if (rangeSize_ == 0 || !status_) return;
    // A range in its old place is the same bytes; elsewhere it is compared like new bytes.
    if (identical_ && rangeStart_ != written_) identical_ = rangeSameAsSource();
    status_ = replacement_.copyFrom(source_.handle(), rangeStart_, rangeSize_);
    written_ += rangeSize_;
    rangeSize_ = 0;
  }

  // Whether the old file holds `bytes` at `at`.
  bool sameAsSource(QByteArrayView bytes, qint64 at) {
#ifndef Q_OS_WIN
    compare_.resize(bytes.size());
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::pread(source_.handle(), compare_.data() + done,
                                  static_cast<size_t>(bytes.size() - done), at + done);
      if (got <= 0) return false;
      done += got;
    }
    return std::memcmp(compare_.constData(), bytes.data(), static_cast<size_t>(done)) == 0;
#else
    Q_UNUSED(bytes);
    Q_UNUSED(at);
    return false;
#endif
  }

  // Whether the pending range equals the old file's bytes where it goes.
  bool rangeSameAsSource() {
#ifndef Q_OS_WIN
    QByteArray piece;
    for (qint64 done = 0; done < rangeSize_;) {
      piece.resize(static_cast<qsizetype>(std::min<qint64>(rangeSize_ - done, kOutputChunk)));
      const ssize_t got = ::pread(source_.handle(), piece.data(), static_cast<size_t>(piece.size()),
                                  rangeStart_ + done);
      if (got <= 0) return false;
      piece.resize(got);
      if (!sameAsSource(piece, written_ + done)) return false;
      done += got;
    }
    return true;
#else
    return false;
#endif
  }

  AtomicReplacement replacement_;
  QFile& source_;
  QByteArray buffer_;
  QByteArray compare_;
  qint64 rangeStart_ = 0;
  qint64 rangeSize_ = 0;
  qint64 written_ = 0;
  bool identical_ = true;
  bool kernelCopies_ = true;
  Status status_ = Status::success();
};

}  // namespace rewriting
