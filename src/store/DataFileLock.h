#pragma once

#include <QString>
#include <chrono>

#include "store/Status.h"

// How long a writer waits for another copy of the program to finish its write.
inline constexpr std::chrono::milliseconds kDataFileLockWait{5000};

// The advisory lock every read-modify-write of a data file holds, so that two copies of the
// program (two users, or one user logged in twice) never lose each other's changes. Hold one
// across the read and the write of an operation:
//
//   const DataFileLock lock(path);
//   if (!lock.isHeld()) return lock.status();  // another copy is writing: write nothing
//   ... read, decide, rewriteDataFile(path, steps) ...
//
// rewriteDataFile() takes it by itself; an operation that reads before it rewrites holds its
// own around both. Taken again by the same thread while held (the rewrite inside such an
// operation), the lock is shared rather than waited for.
//
// What is locked is the folder that holds the data file (flock on the folder itself): unlike
// the data file, which every rewrite replaces by a rename, the folder stays the same object;
// it needs no lock file that could be planted or left behind, and anyone who may write in the
// folder may lock it. Where the file system keeps no locks (some network folders), the guard
// holds nothing and the operation goes ahead unprotected.
class DataFileLock {
 public:
  explicit DataFileLock(const QString& dataFile,
                        std::chrono::milliseconds wait = kDataFileLockWait);
  ~DataFileLock();
  DataFileLock(const DataFileLock&) = delete;
  DataFileLock& operator=(const DataFileLock&) = delete;

  // False when another copy held the lock for the whole wait; status() then says so.
  bool isHeld() const { return status_.isOk(); }
  const Status& status() const { return status_; }

 private:
  Status status_ = Status::success();
  bool registered_ = false;
  unsigned long long device_ = 0;
  unsigned long long inode_ = 0;
};
